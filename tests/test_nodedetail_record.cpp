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

    _GUID raw = {0x0A2B3C4D, 0xAB, 0xCDEF, {0x01, 0x23, 0xAB, 0xCD, 0xEF, 0x00, 0x45, 0xFF}};
    pump.SetGuid(raw);
    EXPECT_EQ(CString(L"0A2B3C4D-00AB-CDEF-0123-ABCDEF0045FF"), pump.GetGuid());
    pump.SetGuid(L"{abcdef01-2345}");  // kept as given
    pump.SetDescription(L"desc");
    pump.SetCheck(true);
    NodeDetailResData& alias = pump;
    pump = alias;
    NodeDetailResData assigned;
    assigned = pump;
    for (const NodeDetailResData& d : {NodeDetailResData(pump), assigned})
        EXPECT_TRUE(d.GetGuid() == L"{abcdef01-2345}" && d.GetDisplayName() == L"Pump base" &&
                    d.GetDescription() == L"desc" && d.GetCheck());
}

TEST(NodeDetailResDataTest, NaturalOrder)
{
    std::vector<NodeDetailResData> all;
    // The names in ascending order; one marked "=" is equivalent to the one
    // before it.
    auto ascending = [&all](std::initializer_list<const wchar_t*> names) {
        std::vector<std::pair<std::wstring, int>> ranked;
        for (const wchar_t* n : names)
            ranked.emplace_back(n + (n[0] == L'=' ? 1 : 0), n[0] == L'='
                                                                ? ranked.back().second
                                                                : static_cast<int>(ranked.size()));
        for (const auto& [a, nRankA] : ranked) {
            all.push_back(Named(a.c_str()));
            for (const auto& [b, nRankB] : ranked)
                EXPECT_EQ(nRankA < nRankB, Named(a.c_str()) < Named(b.c_str()))
                    << testing::PrintToString(a) << " < " << testing::PrintToString(b);
        }
    };
    // Digits by value, the rest by UTF-16 unit; a number comes before anything
    // else, a shorter name before a longer one with equal tokens. A full-width
    // digit is no digit.
    ascending({L"",        L"01",      L"=1",       L"2",      L"2.5",     L"2.10",
               L"10",      L"-",       L"A-\u4E2D", L"A_",     L"A\u4E2D", L"AB",
               L"B",       L"Detail2", L"Detail10", L"a",      L"a1",      L"a1b",
               L"abc",     L"abcd",    L"x",        L"x12",    L"x100",    L"x\U0001F600",
               L"x\uE000", L"z",       L"\u4E00",   L"\u4E2D", L"\uFF10"});
    // Runs past 2^53 collapse to the same double; equal values hide what follows.
    ascending({L"n1", L"n9007199254740992", L"=n9007199254740993", L"n99999999999999999999"});
    ascending({L"01x", L"=1a"});
    NodeDetailResData a = Named(L"a");
    a.SetGuid(L"2");
    a.SetCheck(true);
    EXPECT_FALSE(a < Named(L"a") || Named(L"a") < a);  // only the names take part

    // Irreflexive, asymmetric and transitive over everything.
    for (const wchar_t* n : {L"a01", L"a01b", L"1-", L"Detail-2", L"Detail 2", L"\u4E2D1",
                             L"\u4E2D10", L"a.1", L"a.01", L"Z9", L"A", L"18446744073709551616"})
        all.push_back(Named(n));
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_FALSE(all[i] < all[i]) << i;
        for (size_t j = 0; j < all.size(); ++j) {
            if (!(all[i] < all[j]))
                continue;
            EXPECT_FALSE(all[j] < all[i]) << i << " " << j;
            for (size_t k = 0; k < all.size(); ++k)
                EXPECT_TRUE(!(all[j] < all[k]) || all[i] < all[k]) << i << " " << j << " " << k;
        }
    }
}
