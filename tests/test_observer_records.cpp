#include <gtest/gtest.h>

#include <limits>

#include "observer/PipeFitCountInfo.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Whether base equals a copy of itself after change; asked both ways round.
template <typename T, typename F>
bool EqualAfter(const T& base, F change)
{
    T a(base), b(base);
    change(b);
    const bool bEqual = a == b;
    EXPECT_EQ(bEqual, b == a);
    return bEqual;
}

}  // namespace

TEST(RecordEqualityTest, FitCountInfoComparesItsKeyFieldsOnly)
{
    using I = PIPE_FIT_COUNT_INFO;
    I a;
    EXPECT_EQ(-1, a.nValue1);
    EXPECT_EQ(300, a.nValue2);
    EXPECT_EQ(100, a.nValue3);
    a.strText2 = L"Elbow";
    a.strText4 = L"dn100";
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.ptPos = stu3Value(5, 6, 7); }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText1 = L"x"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText3 = L"y"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText2 = L"ELBOW"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText4 = L"DN100"; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue1 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue2 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue3 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.strText2 += L"s"; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.strText4 += L"s"; }));
}

TEST(RecordEqualityTest, ConnectorToleranceIsInclusiveAndNaNEqualsNothing)
{
    using C = stConnector;
    C a;
    EXPECT_EQ(-1, a.nValue2);
    a.strText = L"Flange";
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.dValue = 0.0001; }));  // the edge itself
    a.dValue = 1.0;
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.dValue = 1.0001; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.dValue = 1.00011; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.dValue = kNaN; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.ptPos.y = 1e-12; }));  // position exact
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.ptPos.y = -0.0; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.strText = L"flange"; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.nValue1 = 1; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.nValue2 = 0; }));
    // Two copies holding a NaN differ.
    a.dValue = kNaN;
    EXPECT_FALSE(EqualAfter(a, [](C&) {}));
    EXPECT_FALSE(a == a);
    a.dValue = 1.0;
    a.ptPos.z = kNaN;
    EXPECT_FALSE(EqualAfter(a, [](C&) {}));
}
