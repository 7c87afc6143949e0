#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "nodedetail/NodeDetailResData.h"
#include "platform/CXTPPropExchange.h"

namespace {

NodeDetailResData Named(const wchar_t* pszName)
{
    NodeDetailResData data;
    data.SetDisplayName(pszName);
    return data;
}

bool Before(const wchar_t* a, const wchar_t* b)
{
    NodeDetailResData da = Named(a);
    return da < Named(b);
}

bool IsCanonicalGuid(const CString& s)
{
    if (s.GetLength() != 36)
        return false;
    for (int i = 0; i < 36; ++i) {
        const wchar_t c = s.GetAt(i);
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

}  // namespace

TEST(NodeDetailResDataTest, ConstructionAndTexts)
{
    const NodeDetailResData empty;
    EXPECT_TRUE(empty.GetGuid().IsEmpty());
    EXPECT_TRUE(empty.GetDisplayName().IsEmpty());
    EXPECT_TRUE(empty.GetDescription().IsEmpty());
    EXPECT_FALSE(empty.GetCheck());

    const NodeDetailResData pump(L"Pump base");
    const NodeDetailResData pump2(L"Pump base");
    EXPECT_EQ(CString(L"Pump base"), pump.GetDisplayName());
    EXPECT_EQ(CString(L"Pump base"), pump.GetDescription());
    EXPECT_FALSE(pump.GetCheck());
    EXPECT_TRUE(IsCanonicalGuid(pump.GetGuid())) << pump.GetGuid().GetString();
    EXPECT_TRUE(IsCanonicalGuid(pump2.GetGuid()));
    EXPECT_NE(pump.GetGuid(), pump2.GetGuid());

    const NodeDetailResData nameless(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(nameless.GetDisplayName().IsEmpty());
    EXPECT_TRUE(nameless.GetDescription().IsEmpty());
    EXPECT_TRUE(IsCanonicalGuid(nameless.GetGuid()));

    NodeDetailResData data(L"x");
    data.SetGuid(L"{abcdef01-2345-6789-abcd-ef0123456789}");
    EXPECT_EQ(CString(L"{abcdef01-2345-6789-abcd-ef0123456789}"), data.GetGuid());
    data.SetDisplayName(L"\u652F\u67B6");
    data.SetDescription(L"d");
    EXPECT_EQ(CString(L"\u652F\u67B6"), data.GetDisplayName());
    EXPECT_EQ(CString(L"d"), data.GetDescription());
    data.SetGuid(static_cast<const wchar_t*>(nullptr));
    data.SetDisplayName(nullptr);
    data.SetDescription(nullptr);
    EXPECT_TRUE(data.GetGuid().IsEmpty());
    EXPECT_TRUE(data.GetDisplayName().IsEmpty());
    EXPECT_TRUE(data.GetDescription().IsEmpty());
}

TEST(NodeDetailResDataTest, CanonicalGuidText)
{
    NodeDetailResData data;
    _GUID guid = {1, 0xAB, 0xCDEF, {0x01, 0x23, 0xAB, 0xCD, 0xEF, 0x00, 0x45, 0xFF}};
    data.SetGuid(guid);
    EXPECT_EQ(CString(L"00000001-00AB-CDEF-0123-ABCDEF0045FF"), data.GetGuid());

    _GUID high = {0xFEDCBA98, 0xFFFF, 0x0001, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0x0A}};
    data.SetGuid(high);
    EXPECT_EQ(CString(L"FEDCBA98-FFFF-0001-FFFF-00000000000A"), data.GetGuid());
}

TEST(NodeDetailResDataTest, CopyAndAssignCarryEverything)
{
    NodeDetailResData src(L"Pump");
    src.SetDescription(L"desc");
    src.SetCheck(true);

    const NodeDetailResData copy(src);
    NodeDetailResData assigned;
    assigned = src;
    for (const NodeDetailResData* p : {&copy, static_cast<const NodeDetailResData*>(&assigned)}) {
        EXPECT_EQ(src.GetGuid(), p->GetGuid());
        EXPECT_EQ(CString(L"Pump"), p->GetDisplayName());
        EXPECT_EQ(CString(L"desc"), p->GetDescription());
        EXPECT_TRUE(p->GetCheck());
    }

    NodeDetailResData& alias = src;
    src = alias;
    EXPECT_EQ(CString(L"Pump"), src.GetDisplayName());
    EXPECT_EQ(CString(L"desc"), src.GetDescription());
    EXPECT_TRUE(src.GetCheck());
}

TEST(NodeDetailResDataTest, NaturalOrderCases)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool aFirst;
        bool bFirst;
    };
    const Case cases[] = {
        {L"Detail2", L"Detail10", true, false},      // digits by value
        {L"B", L"a", true, false},                   // case-sensitive, ordinal
        {L"a", L"A", false, true},
        {L"", L"x", true, false},                    // empty name first
        {L"", L"", false, false},
        {L"abc", L"abcd", true, false},              // one differing token, as text
        {L"a1", L"a1b", true, false},                // equal tokens: shorter first
        {L"10", L"x", true, false},                  // numbers before text
        {L"10", L"-", true, false},                  // and before other-class tokens
        {L"01", L"1", false, false},                 // equal values are equivalent
        {L"01x", L"1a", false, false},               // ... and hide what follows
        {L"x007y", L"x7y", false, false},
        {L"9", L"10", true, false},
        {L"x12", L"x100", true, false},              // first difference inside a run
        {L"Detail-12\u4E2Db", L"Detail-12\u4E2Da", false, true},
        {L"A-\u4E2D", L"A-\u4E2E", true, false},     // other-class run compared by unit
        {L"A-\u4E2D", L"A\u4E2D", true, false},      // "-" (U+002D) below U+4E2D
        {L"a b", L"a-b", true, false},               // space below "-"
        {L"A_", L"AB", true, false},                 // "_" ends the letter run
        {L"\u4E2D", L"z", false, true},              // non-ASCII after letters
        {L"\uFF10", L"\u4E00", false, true},         // full-width digit is no digit
        {L"x\U0001F600", L"x\uE000", true, false},   // by UTF-16 unit: D83D below E000
        {L"2.5", L"2.10", true, false},              // "." splits: 5 before 10
        {L"v1.2", L"v1.2.1", true, false},
        {L"Detail10", L"Detail10", false, false},
        // Digit runs beyond 2^53 collapse to the same double.
        {L"n9007199254740993", L"n9007199254740992", false, false},
        {L"n99999999999999999999", L"n1", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.aFirst, Before(c.a, c.b)) << "a=" << testing::PrintToString(std::wstring(c.a))
                                              << " b=" << testing::PrintToString(std::wstring(c.b));
        EXPECT_EQ(c.bFirst, Before(c.b, c.a)) << "a=" << testing::PrintToString(std::wstring(c.b))
                                              << " b=" << testing::PrintToString(std::wstring(c.a));
    }

    // Only the display names take part.
    NodeDetailResData a = Named(L"a");
    NodeDetailResData b = Named(L"a");
    a.SetGuid(L"2");
    b.SetGuid(L"1");
    a.SetDescription(L"z");
    a.SetCheck(true);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(b < a);
}

TEST(NodeDetailResDataTest, NaturalOrderIsAStrictPartialOrder)
{
    const wchar_t* names[] = {
        L"", L"a", L"A", L"B", L"b", L"ab", L"a1", L"a01", L"a1b", L"a01b", L"a2", L"a10",
        L"a10b", L"1", L"01", L"001", L"2", L"10", L"1a", L"01x", L"x", L"-", L"--", L"1-",
        L"Detail2", L"Detail10", L"Detail-2", L"Detail 2", L"\u4E2D", L"\u4E2D1", L"\u4E2D10",
        L"a-\u4E2D", L"a.1", L"a.01", L"Z9", L"z9", L"18446744073709551616", L"9999",
    };
    std::vector<NodeDetailResData> v;
    for (const wchar_t* n : names)
        v.push_back(Named(n));
    const size_t n = v.size();
    for (size_t i = 0; i < n; ++i) {
        EXPECT_FALSE(v[i] < v[i]) << i;
        for (size_t j = 0; j < n; ++j) {
            const bool ij = v[i] < v[j];
            if (!ij)
                continue;
            EXPECT_FALSE(v[j] < v[i]) << i << " " << j;
            for (size_t k = 0; k < n; ++k) {
                if (v[j] < v[k]) {
                    EXPECT_TRUE(v[i] < v[k]) << i << " " << j << " " << k;
                }
            }
        }
    }
}

TEST(NodeDetailResDataTest, PropExchangeRoundTripKeepsCheckMark)
{
    zktest::TempDir dir;
    const std::wstring path = dir.lib() + L"rec.xml";

    NodeDetailResData src;
    src.SetGuid(L"{lower-case-guid}");
    src.SetDisplayName(L"\u7BA1\u9053\u652F\u67B6 <1> & \"q\"");
    src.SetDescription(L"\u8BF4\u660E\r\nline2");
    src.SetCheck(true);
    {
        CXTPPropExchange px(0, nullptr, L"Root");
        px.SetCompactMode(1);
        auto row = px.GetSection(L"Row");
        src.DoPropExchange(row.get());
        ASSERT_EQ(0, px.SaveToFile(path.c_str(), 1));
    }
    const std::string text = zktest::ReadBytes(zktest::Native(path));
    for (const char* prop : {"GuId", "DisplayName", "Description"})
        EXPECT_NE(std::string::npos, text.find(prop)) << prop;

    for (const bool check : {false, true}) {
        CXTPPropExchange px(1, nullptr, L"Root");
        ASSERT_NE(0, px.LoadFromFile(path.c_str()));
        px.SetCompactMode(1);
        auto row = px.GetSection(L"Row");
        NodeDetailResData back;
        back.SetCheck(check);
        back.DoPropExchange(row.get());
        EXPECT_EQ(src.GetGuid(), back.GetGuid());
        EXPECT_EQ(src.GetDisplayName(), back.GetDisplayName());
        EXPECT_EQ(src.GetDescription(), back.GetDescription());
        EXPECT_EQ(check, back.GetCheck());
    }
}
