// A host module's typical use of the library: reach the singletons through
// the exported accessors.
#include <cstdio>

#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"

int main()
{
    const CString dir = GetDataDirectory();
    std::printf("data directory: %ls\n", dir.GetString());
    std::printf("fitting library at %p\n", static_cast<void*>(ZkFitDataManager()));
    std::printf("resource library at %p\n", static_cast<void*>(ZkNodeDetailResDataManager()));
    std::printf("session at %p\n", static_cast<void*>(ZkNodeDetailSession()));
    std::printf("observer manager at %p\n", static_cast<void*>(ZkFittingObserverManager()));
    return 0;
}
