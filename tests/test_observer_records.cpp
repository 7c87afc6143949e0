#include <gtest/gtest.h>

#include <limits>

#include "observer/PipeFitCountInfo.h"

TEST(FitCountInfoTest, DefaultsCopiesAndEquality)
{
    PIPE_FIT_COUNT_INFO a;
    EXPECT_EQ(0.0, a.ptPos.x + a.ptPos.y + a.ptPos.z);
    EXPECT_EQ(-1, a.nValue1);
    EXPECT_EQ(300, a.nValue2);
    EXPECT_EQ(100, a.nValue3);
    EXPECT_TRUE(a.strText1.IsEmpty() && a.strText2.IsEmpty() && a.strText3.IsEmpty() &&
                a.strText4.IsEmpty());

    a.strText2 = L"Elbow";
    a.strText4 = L"dn100";
    a.strText3 = L"kept";
    PIPE_FIT_COUNT_INFO b(a);
    EXPECT_STREQ(L"kept", b.strText3);
    // Position and the first and third texts take no part; the second and
    // fourth texts ignore case.
    b.ptPos = stu3Value(5, 6, 7);
    b.strText1 = L"x";
    b.strText3 = L"y";
    b.strText2 = L"ELBOW";
    b.strText4 = L"DN100";
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(b == a);

    int PIPE_FIT_COUNT_INFO::*ints[] = {&PIPE_FIT_COUNT_INFO::nValue1,
                                        &PIPE_FIT_COUNT_INFO::nValue2,
                                        &PIPE_FIT_COUNT_INFO::nValue3};
    for (auto member : ints) {
        PIPE_FIT_COUNT_INFO c;
        c = a;
        c.*member += 1;
        EXPECT_FALSE(a == c);
    }
    for (auto member : {&PIPE_FIT_COUNT_INFO::strText2, &PIPE_FIT_COUNT_INFO::strText4}) {
        PIPE_FIT_COUNT_INFO c;
        c = a;
        c.*member += L"s";
        EXPECT_FALSE(a == c);
    }

    PIPE_FIT_COUNT_INFO& self = a;
    a = self;
    EXPECT_STREQ(L"dn100", a.strText4);
}

TEST(ConnectorTest, EqualityToleranceAndExactness)
{
    stConnector a, b;
    EXPECT_EQ(-1, a.nValue2);
    EXPECT_TRUE(a == b);

    // dValue within 0.0001 inclusive; a NaN equals nothing.
    a.dValue = 1.0;
    b.dValue = 1.0001;
    EXPECT_TRUE(a == b);
    b.dValue = 1.00011;
    EXPECT_FALSE(a == b);
    a.dValue = 0.0;
    b.dValue = 0.0001;
    EXPECT_TRUE(a == b && b == a);
    b.dValue = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(b == b);

    // Position exact, 0.0 equal to -0.0; text case-sensitive; integers exact.
    a.strText = L"Flange";
    b = a;
    b.ptPos.y = 1e-12;
    EXPECT_FALSE(a == b);
    b.ptPos.y = -0.0;
    EXPECT_TRUE(a == b);
    b.strText = L"flange";
    EXPECT_FALSE(a == b);
    b = a;
    b.nValue1 = 1;
    EXPECT_FALSE(a == b);
    b = a;
    b.nValue2 = 0;
    EXPECT_FALSE(a == b);
    b = a;
    b.ptPos.z = std::numeric_limits<double>::quiet_NaN();
    stConnector nanCopy(b);
    EXPECT_FALSE(b == nanCopy);
}
