#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "observer/SortPipeFitCountInfo.h"

namespace {

// Sorts entries labelled A, B, ... at the given (x, y) pairs and answers the
// labels in their new order; each label sits in two texts, to see that whole
// entries move.
std::wstring Sorted(const std::vector<double>& xy)
{
    std::vector<PIPE_FIT_COUNT_INFO> vec(xy.size() / 2);
    for (size_t i = 0; i < vec.size(); ++i) {
        vec[i].ptPos = stu3Value(xy[2 * i], xy[2 * i + 1], 0.0);
        vec[i].strText1 = vec[i].strText4 = std::wstring(1, static_cast<wchar_t>(L'A' + i)).c_str();
    }
    EXPECT_TRUE(NodeDetailEx::SortPipeFitCountInfo(vec));
    std::wstring order;
    for (const PIPE_FIT_COUNT_INFO& info : vec) {
        EXPECT_STREQ(info.strText1, info.strText4);
        order += info.strText1.GetString();
    }
    return order;
}

}  // namespace

TEST(SortPipeFitCountInfoTest, ColumnsLeftToRightTopToBottomInAFixedExchangeOrder)
{
    std::vector<PIPE_FIT_COUNT_INFO> empty;
    EXPECT_FALSE(NodeDetailEx::SortPipeFitCountInfo(empty));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<std::vector<double>, const wchar_t*> cases[] = {
        {{3, 4}, L"A"},
        {{5, 0, 1, 0, 3, 0}, L"BCA"},
        {{2, 1, 2, 5, 2, 3}, L"BCA"},
        {{1, 1, 0, 0, 1, 2, 0, 3}, L"DBCA"},
        // x within 0.0001, the edge included, is one column: y decides.
        {{1.0, 0, 1.00005, 9}, L"BA"},
        {{0.0, 0, 0.0001, 1}, L"BA"},
        {{0.00011, 0, 0.0, 0}, L"BA"},
        // Two equal entries stay put; with a third they need not keep their order.
        {{0, 0, 0, 0}, L"AB"},
        {{1, 0, 1, 0, 0, 0}, L"CBA"},
        // Chained tolerance: A and C lie more than 0.0001 apart, yet B links them.
        {{0, 0, 0.00008, 1, 0.00016, 2}, L"CBA"},
        {{0, 2, 0.00008, 1, 0.00016, 0}, L"ABC"},
        {{0, 0, 0.00008, 1, 0.00016, 2, 0.00024, 3}, L"DCBA"},
        {{0.00016, 0, 0.00008, -1, 0, 5, 0.00024, -2}, L"CABD"},
        // A NaN fails every test, so nothing moves.
        {{nan, 0, 0, 0}, L"AB"},
        {{1, 0, 1, nan}, L"AB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, Sorted(c.first));
}
