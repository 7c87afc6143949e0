// Any bytes as "NodeDetailDataEx.xml": Load must either fail with an empty
// library or read records that a Save and a second Load give back unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "frame/ZkNodeDetail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto input = zkfuzz::LoadInput(ZkNodeDetailResDataManager, data, size);
    CNodeDetailResDataManager* pMgr = input.pMgr;
    std::vector<NodeDetailResData> first;
    pMgr->GetVecNodeDetailResData(first);
    ZK_FUZZ_CHECK(static_cast<int>(first.size()) == pMgr->GetDataCount());
    if (!input.bLoaded) {
        ZK_FUZZ_CHECK(first.empty());
        return 0;
    }

    ZK_FUZZ_CHECK(pMgr->Save());
    const std::string saved = zkfuzz::ReadFile(input.path);
    ZK_FUZZ_CHECK(pMgr->Load());
    std::vector<NodeDetailResData> second;
    pMgr->GetVecNodeDetailResData(second);
    ZK_FUZZ_CHECK(first.size() == second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        ZK_FUZZ_CHECK(!first[i].GetCheck() && !second[i].GetCheck());
        ZK_FUZZ_CHECK(first[i].GetGuid() == second[i].GetGuid());
        ZK_FUZZ_CHECK(first[i].GetDisplayName() == second[i].GetDisplayName());
        ZK_FUZZ_CHECK(first[i].GetDescription() == second[i].GetDescription());
    }
    // Saving again writes the same bytes.
    ZK_FUZZ_CHECK(pMgr->Save());
    ZK_FUZZ_CHECK(zkfuzz::ReadFile(input.path) == saved);
    return 0;
}
