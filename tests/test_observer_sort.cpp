#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "observer/SortPipeFitCountInfo.h"

namespace {

struct Pt {
    double x;
    double y;
    const wchar_t* label;
};

// Sorts entries labelled in strText1 and answers the labels in their new
// order; strText4 carries the label too, to see that whole entries move.
std::wstring Sorted(std::initializer_list<Pt> pts)
{
    std::vector<PIPE_FIT_COUNT_INFO> vec;
    for (const Pt& p : pts) {
        PIPE_FIT_COUNT_INFO info;
        info.ptPos = stu3Value(p.x, p.y, 0.0);
        info.strText1 = p.label;
        info.strText4 = p.label;
        vec.push_back(info);
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

TEST(SortPipeFitCountInfoTest, ColumnsLeftToRightThenTopToBottom)
{
    std::vector<PIPE_FIT_COUNT_INFO> empty;
    EXPECT_FALSE(NodeDetailEx::SortPipeFitCountInfo(empty));
    EXPECT_EQ(L"A", Sorted({{3, 4, L"A"}}));
    EXPECT_EQ(L"BCA", Sorted({{5, 0, L"A"}, {1, 0, L"B"}, {3, 0, L"C"}}));
    EXPECT_EQ(L"BCA", Sorted({{2, 1, L"A"}, {2, 5, L"B"}, {2, 3, L"C"}}));
    // x within 0.0001 (inclusive) is one column, so y decides.
    EXPECT_EQ(L"BA", Sorted({{1.0, 0, L"A"}, {1.00005, 9, L"B"}}));
    EXPECT_EQ(L"BA", Sorted({{0.0, 0, L"A"}, {0.0001, 1, L"B"}}));
    EXPECT_EQ(L"BA", Sorted({{0.00011, 0, L"A"}, {0.0, 0, L"B"}}));
    EXPECT_EQ(L"DBCA", Sorted({{1, 1, L"A"}, {0, 0, L"B"}, {1, 2, L"C"}, {0, 3, L"D"}}));
}

TEST(SortPipeFitCountInfoTest, FixedExchangeOrderDecidesTiesAndChains)
{
    // Equal entries do not keep their input order.
    EXPECT_EQ(L"CBA", Sorted({{1, 0, L"A"}, {1, 0, L"B"}, {0, 0, L"C"}}));
    // Chained tolerance: C is more than 0.0001 right of A yet ends first.
    EXPECT_EQ(L"CBA", Sorted({{0, 0, L"A"}, {0.00008, 1, L"B"}, {0.00016, 2, L"C"}}));
    EXPECT_EQ(L"ABC", Sorted({{0, 2, L"A"}, {0.00008, 1, L"B"}, {0.00016, 0, L"C"}}));
    // Longer chains, worked through pair by pair.
    EXPECT_EQ(L"DCBA",
              Sorted({{0, 0, L"A"}, {0.00008, 1, L"B"}, {0.00016, 2, L"C"}, {0.00024, 3, L"D"}}));
    EXPECT_EQ(L"CABD",
              Sorted({{0.00016, 0, L"A"}, {0.00008, -1, L"B"}, {0, 5, L"C"}, {0.00024, -2, L"D"}}));
    // A NaN fails every test, so nothing moves.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(L"AB", Sorted({{nan, 0, L"A"}, {0, 0, L"B"}}));
    EXPECT_EQ(L"AB", Sorted({{1, 0, L"A"}, {1, nan, L"B"}}));
}
