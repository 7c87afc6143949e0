#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "nodedetail/CNodeDetailResDataManager.h"

// Counts every allocation of the process (array and nothrow forms fall back on
// this one), to show that comparing and sorting allocate nothing.
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

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(NodeDetailAllocationTest, ComparingAndSortingDoNotAllocate)
{
    const wchar_t* stems[] = {L"\u7BA1\u9053\u652F\u67B6-Detail ", L"Detail-0",
                              L"detail_77777777777777777777777777777777x"};
    std::vector<NodeDetailResData> v;
    for (int i = 0; i < 300; ++i)
        v.emplace_back((stems[i % 3] + std::to_wstring(i * 7919 % 257) + L"." +
                        std::to_wstring(i % 13) + L"b long enough for the heap")
                           .c_str());
    const long before = g_nNewCalls;
    int nLess = 0;
    for (NodeDetailResData& a : v)
        for (NodeDetailResData& b : v)
            nLess += (a < b) ? 1 : 0;
    EXPECT_EQ(before, g_nNewCalls);
    EXPECT_GT(nLess, 0);
    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    pMgr->SetVecNodeDetailResData(v);
    const long beforeSort = g_nNewCalls;
    pMgr->SortData();
    EXPECT_EQ(beforeSort, g_nNewCalls);
    pMgr->GetVecNodeDetailResData(v);
    for (size_t i = 1; i < v.size(); ++i)
        EXPECT_FALSE(v[i] < v[i - 1]) << i;
    pMgr->SetVecNodeDetailResData({});
}
