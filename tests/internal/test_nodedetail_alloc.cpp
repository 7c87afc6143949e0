#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "nodedetail/CNodeDetailResDataManager.h"

// Counts every allocation of the process (array and nothrow forms fall back on
// this one), so that the hot paths of sorting can be shown to allocate nothing.
namespace {
long g_nNewCalls = 0;
}

void* operator new(std::size_t n)
{
    ++g_nNewCalls;
    if (void* p = std::malloc(n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}

TEST(NodeDetailAllocationTest, ComparingAndSortingDoNotAllocate)
{
    std::vector<NodeDetailResData> v;
    const std::wstring longDigits(450, L'7');  // past the number reader's buffer
    for (int i = 0; i < 400; ++i) {
        NodeDetailResData data;
        std::wstring name = (i % 4 == 0)   ? L"\u7BA1\u9053\u652F\u67B6-Detail "
                            : (i % 4 == 1) ? L"Detail-"
                            : (i % 4 == 2) ? L"detail_" + longDigits + L"x"
                                           : L"Detail-0";
        name += std::to_wstring((i * 7919) % 257) + L"." + std::to_wstring(i % 13) + L"b";
        data.SetDisplayName(name.c_str());
        data.SetGuid(L"3F2504E0-4F89-11D3-9A0C-0305E82C3301");
        data.SetDescription(L"a description long enough to live on the heap");
        v.push_back(data);
    }

    const long before = g_nNewCalls;
    size_t nBefore = 0;
    for (NodeDetailResData& a : v)
        for (NodeDetailResData& b : v)
            nBefore += (a < b) ? 1 : 0;
    EXPECT_EQ(before, g_nNewCalls);
    EXPECT_GT(nBefore, 0u);

    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    pMgr->SetVecNodeDetailResData(v);
    const long beforeSort = g_nNewCalls;
    pMgr->SortData();
    EXPECT_EQ(beforeSort, g_nNewCalls);

    std::vector<NodeDetailResData> sorted;
    pMgr->GetVecNodeDetailResData(sorted);
    ASSERT_EQ(v.size(), sorted.size());
    for (size_t i = 1; i < sorted.size(); ++i)
        EXPECT_FALSE(sorted[i] < sorted[i - 1]) << i;
    pMgr->SetVecNodeDetailResData({});
}
