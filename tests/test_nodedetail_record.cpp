#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nodedetail/NodeDetailResData.h"

namespace {

NodeDetailResData Named(const wchar_t* pszName)
{
    NodeDetailResData data;
    data.SetDisplayName(pszName);
    return data;
}

}  // namespace

TEST(NodeDetailResDataTest, ConstructionCopyAndGuidText)
{
    const NodeDetailResData empty;
    EXPECT_TRUE(empty.GetGuid().IsEmpty() && empty.GetDisplayName().IsEmpty() &&
                empty.GetDescription().IsEmpty() && !empty.GetCheck());
    NodeDetailResData pump(L"Pump base");
    EXPECT_EQ(CString(L"Pump base"), pump.GetDisplayName());
    EXPECT_EQ(CString(L"Pump base"), pump.GetDescription());
    EXPECT_FALSE(pump.GetCheck());
    EXPECT_EQ(36, pump.GetGuid().GetLength());
    EXPECT_NE(pump.GetGuid(), NodeDetailResData(L"Pump base").GetGuid());

    _GUID raw = {1, 0xAB, 0xCDEF, {0x01, 0x23, 0xAB, 0xCD, 0xEF, 0x00, 0x45, 0xFF}};
    pump.SetGuid(raw);
    EXPECT_EQ(CString(L"00000001-00AB-CDEF-0123-ABCDEF0045FF"), pump.GetGuid());
    pump.SetGuid(L"{abcdef01-2345}");  // kept as given
    pump.SetDescription(L"desc");
    pump.SetCheck(true);
    NodeDetailResData assigned;
    assigned = pump;
    NodeDetailResData& alias = assigned;
    assigned = alias;
    const NodeDetailResData copy(assigned);
    for (const NodeDetailResData* p : {&copy, static_cast<const NodeDetailResData*>(&assigned)}) {
        EXPECT_EQ(CString(L"{abcdef01-2345}"), p->GetGuid());
        EXPECT_EQ(CString(L"Pump base"), p->GetDisplayName());
        EXPECT_EQ(CString(L"desc"), p->GetDescription());
        EXPECT_TRUE(p->GetCheck());
    }
}

TEST(NodeDetailResDataTest, NaturalOrder)
{
    // a, b, whether a comes before b, whether b comes before a.
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool ab;
        bool ba;
    } cases[] = {
        {L"Detail2", L"Detail10", true, false},  // digits by value
        {L"x12", L"x100", true, false},          // first difference inside a run
        {L"B", L"a", true, false},               // case-sensitive, ordinal
        {L"", L"x", true, false},
        {L"", L"", false, false},
        {L"abc", L"abcd", true, false},             // one differing token, as text
        {L"a1", L"a1b", true, false},               // equal tokens: shorter first
        {L"10", L"x", true, false},                 // numbers before text
        {L"10", L"-", true, false},                 // and before other-class tokens
        {L"01", L"1", false, false},                // equal values are equivalent
        {L"01x", L"1a", false, false},              // ... and hide what follows
        {L"A_", L"AB", true, false},                // "_" ends the letter run
        {L"A-\u4E2D", L"A\u4E2D", true, false},     // "-" below U+4E2D in one run
        {L"\u4E2D", L"z", false, true},             // non-ASCII after letters
        {L"\uFF10", L"\u4E00", false, true},        // a full-width digit is no digit
        {L"x\U0001F600", L"x\uE000", true, false},  // by UTF-16 unit: D83D below E000
        {L"2.5", L"2.10", true, false},
        // Runs past 2^53 collapse to the same double.
        {L"n9007199254740993", L"n9007199254740992", false, false},
        {L"n99999999999999999999", L"n1", false, true},
    };
    for (const auto& c : cases) {
        NodeDetailResData a = Named(c.a);
        NodeDetailResData b = Named(c.b);
        const std::string pair = testing::PrintToString(std::wstring(c.a)) + " vs " +
                                 testing::PrintToString(std::wstring(c.b));
        EXPECT_EQ(c.ab, a < b) << pair;
        EXPECT_EQ(c.ba, b < a) << pair;
    }
    NodeDetailResData a = Named(L"a");
    a.SetGuid(L"2");
    a.SetCheck(true);
    NodeDetailResData b = Named(L"a");
    EXPECT_FALSE(a < b || b < a);  // only the names take part

    // Irreflexive, asymmetric and transitive over a mixed set.
    const wchar_t* names[] = {L"",
                              L"a",
                              L"A",
                              L"b",
                              L"ab",
                              L"a1",
                              L"a01",
                              L"a1b",
                              L"a01b",
                              L"a2",
                              L"a10",
                              L"1",
                              L"01",
                              L"2",
                              L"10",
                              L"1a",
                              L"01x",
                              L"x",
                              L"-",
                              L"1-",
                              L"Detail-2",
                              L"Detail 2",
                              L"\u4E2D1",
                              L"a.1",
                              L"a.01",
                              L"Z9",
                              L"a-\u4E2D",
                              L"\u4E2D10",
                              L"18446744073709551616"};
    std::vector<NodeDetailResData> v;
    for (const wchar_t* n : names)
        v.push_back(Named(n));
    for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_FALSE(v[i] < v[i]) << i;
        for (size_t j = 0; j < v.size(); ++j) {
            if (!(v[i] < v[j]))
                continue;
            EXPECT_FALSE(v[j] < v[i]) << i << " " << j;
            for (size_t k = 0; k < v.size(); ++k)
                EXPECT_TRUE(!(v[j] < v[k]) || v[i] < v[k]) << i << " " << j << " " << k;
        }
    }
}
