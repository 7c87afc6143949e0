#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <random>
#include <vector>

#include "frame/stu3Value.h"
#include "platform/CString.h"
#include "platform/NamedValue.h"
#include "platform/ZkHost.h"

TEST(CStringTest, NullConcatenationFindAndDelete)
{
    const wchar_t* none = nullptr;
    CString s(none);
    EXPECT_TRUE(s.IsEmpty() && s.Compare(none) == 0);
    s = L"Data\\";
    s += L"节点图";
    s += none;
    EXPECT_STREQ(L"Data\\节点图\\x.xml", s + L"\\" + CString(L"x.xml"));
    s = L"Pump(1)(1)";
    EXPECT_EQ((std::vector<int>{4, 7, 0, -1, -1}),
              (std::vector<int>{s.Find(L"("), s.Find(L"(", 5), s.Find(L""), s.Find(L"pump"),
                                s.Find(L"(", 99)}));
    EXPECT_EQ(7, s.Delete(4, 3));
    EXPECT_STREQ(L"Pump(1)", s);
    EXPECT_EQ(7, s.Delete(50, 2));
    EXPECT_EQ(4, s.Delete(4, 100));
    EXPECT_STREQ(L"Pump", s);
    s.Empty();
    EXPECT_EQ(0, s.GetLength());
}

TEST(CStringTest, OrdinalByUtf16UnitAndNoCaseFoldingAsciiOnly)
{
    // a, b, and the signs of a.Compare(b) and a.CompareNoCase(b).
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        int nCompare;
        int nNoCase;
    } cases[] = {
        {L"\U00010000", L"\uFFFF", -1, -1},  // D800 DC00 below FFFF, unlike UTF-32
        {L"B", L"a", -1, 1},
        {L"abc", L"abcd", -1, -1},
        {L"中文", L"中文", 0, 0},
        {L"Tee-1", L"tEE-1", -1, 0},
        {L"\u00C9", L"\u00E9", -1, -1},
        {L"_", L"a", -1, -1},  // '_' lies between 'Z' and 'a': folded to lower case
        {L"_", L"A", 1, -1},
    };
    auto sign = [](int n) { return (n > 0) - (n < 0); };
    for (const auto& c : cases) {
        const CString a(c.a), b(c.b);
        EXPECT_EQ(c.nCompare, sign(a.Compare(b))) << testing::PrintToString(std::wstring(c.a));
        EXPECT_EQ(-c.nCompare, sign(b.Compare(a))) << testing::PrintToString(std::wstring(c.a));
        EXPECT_EQ(c.nNoCase, sign(a.CompareNoCase(b))) << testing::PrintToString(std::wstring(c.a));
        EXPECT_EQ(-c.nNoCase, sign(b.CompareNoCase(a)))
            << testing::PrintToString(std::wstring(c.a));
    }
    EXPECT_EQ(2, CString(L"\U00010000").GetLength());
    EXPECT_EQ(0, CString(L"").CompareNoCase(static_cast<const wchar_t*>(nullptr)));
}

TEST(CStringTest, FormatConversions)
{
    CString s;
    s.Format(L"%s(%d)", L"节点", 12);
    EXPECT_STREQ(L"节点(12)", s);
    s.Format(L"%08X-%04X-%02X%02x", 0x1u, 0xABCu, 0xFu, 0xAu);
    EXPECT_STREQ(L"00000001-0ABC-0F0a", s);
    s.Format(L"[%5s|%-3d|%%|%.2f|%c]", L"ab", -7, 0.125, L'Z');
    EXPECT_STREQ(L"[   ab|-7 |%|0.12|Z]", s);
    s.Format(L"%s", static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(L"(null)", s);
    s.Format(L"%s", L"\U0001F600");
    EXPECT_EQ(2, s.GetLength());
}

TEST(HostServicesTest, NumericAndThreeValueText)
{
    for (const wchar_t* yes : {L"0", L"01", L"123456789012345678901234567890", L"1.5", L"-2"})
        EXPECT_TRUE(ZkIsNumericText(yes)) << yes;
    for (const wchar_t* no : {L"", L"a", L"-", L".", L"1a", L"中", L" 1", L"1e5"})
        EXPECT_FALSE(ZkIsNumericText(no)) << no;

    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> dist(-1e6, 1e6);
    const double specials[] = {0.1,     1e-300,  -0.0,      4.9406564584124654e-324,
                               DBL_MAX, DBL_MIN, 1.0 / 3.0, 123456789.123456789};
    for (int i = 0; i < 200; ++i) {
        stu3Value v(i < 8 ? specials[i] : dist(rng), dist(rng), i < 8 ? -specials[i] : dist(rng));
        stu3Value back(7, 7, 7);
        ZkTextToU3Value(ZkU3ValueToText(v), back);
        EXPECT_EQ(0, std::memcmp(&v, &back, sizeof v)) << i;
    }
    for (const wchar_t* bad : {L"", L"1,2", L"1,2,3,4", L"1,x,3", L"1,,3", L"a"}) {
        stu3Value v(7, 8, 9);
        ZkTextToU3Value(bad, v);
        EXPECT_TRUE(v.x == 7 && v.y == 8 && v.z == 9) << bad;
    }
}

TEST(HostServicesTest, NamedValueSet)
{
    NamedValueSet set;
    set.SetAt(L"b", NamedValue(1));
    set.SetAt(L"a", NamedValue(L"x"));
    set.SetAt(L"b", NamedValue(2.5));
    ASSERT_EQ(2, set.Count());
    CString name;
    NamedValue value;
    ASSERT_TRUE(set.GetAt(0, name, value));
    EXPECT_STREQ(L"b", name);
    EXPECT_EQ(NamedValue(2.5), value);
    EXPECT_FALSE(set.GetAt(2, name, value) || set.GetAt(-1, name, value));
    EXPECT_STREQ(L"b", name);
    set.RemoveAll();
    EXPECT_EQ(0, set.Count());
}
