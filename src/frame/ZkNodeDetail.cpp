#include "frame/ZkNodeDetail.h"

// Each instance lives in a function-local static: built on first use, left
// unbuilt if its constructor throws, and destroyed at unload in reverse order
// of construction. Defining Instance() out of line keeps one instance per
// process even though inline functions are not exported.

CFitDataManager* CFitDataManager::Instance()
{
    static CFitDataManager instance;
    return &instance;
}

CNodeDetailResDataManager* CNodeDetailResDataManager::Instance()
{
    static CNodeDetailResDataManager instance;
    return &instance;
}

CNodeDetailSession* CNodeDetailSession::Instance()
{
    static CNodeDetailSession instance;
    return &instance;
}

CFittingObserverManager* CFittingObserverManager::Instance()
{
    static CFittingObserverManager backUp;
    return &backUp;
}

CFitDataManager* ZkFitDataManager()
{
    return CFitDataManager::Instance();
}

CNodeDetailResDataManager* ZkNodeDetailResDataManager()
{
    return CNodeDetailResDataManager::Instance();
}

CNodeDetailSession* ZkNodeDetailSession()
{
    return CNodeDetailSession::Instance();
}

CFittingObserverManager* ZkFittingObserverManager()
{
    return CFittingObserverManager::Instance();
}
