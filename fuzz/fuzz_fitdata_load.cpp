// Any bytes as "FitDataEx.xml": Load must either fail with an empty library or
// read groups that survive a Save and a second Load. Saving writes every
// persisted field, reals in their shortest exact form, so two saves agree byte
// for byte exactly when nothing changed on the way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "frame/ZkNodeDetail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto input = zkfuzz::LoadInput(ZkFitDataManager, data, size);
    CFitDataManager* pMgr = input.pMgr;
    const int nGroups = pMgr->GetDataCount();
    if (!input.bLoaded) {
        ZK_FUZZ_CHECK(nGroups == 0);
        return 0;
    }

    // Lookups on whatever was read: each fitting of the first group of a few
    // types is found again by its name.
    for (int nType = -1; nType <= 3; ++nType) {
        std::vector<FittingData> fits;
        pMgr->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(nType), fits);
        for (const FittingData& fit : fits) {
            ZK_FUZZ_CHECK(!fit.GetCheck() && fit.GetFitType() == nType);
            int nGroup = -1;
            int nRow = -1;
            ZK_FUZZ_CHECK(pMgr->CheckNameExist(fit.GetDisplayName(), nGroup, nRow));
            ZK_FUZZ_CHECK(nGroup >= 0 && nGroup < nGroups && nRow >= 0);
        }
    }

    ZK_FUZZ_CHECK(pMgr->Save());
    const std::string first = zkfuzz::ReadFile(input.path);
    ZK_FUZZ_CHECK(pMgr->Load());
    ZK_FUZZ_CHECK(pMgr->GetDataCount() == nGroups);
    ZK_FUZZ_CHECK(pMgr->Save());
    ZK_FUZZ_CHECK(zkfuzz::ReadFile(input.path) == first);
    return 0;
}
