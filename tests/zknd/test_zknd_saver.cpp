// An import or a fix while another process saves the same library, as a
// product window may: the other process's work stays, and each line says
// what the library holds. zknd runs in this process, the other saver (zknd
// copy) as a program of its own at the moment zknd is about to save.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "Commands.h"
#include "Display.h"
#include "Library.h"
#include "Zknd.h"
#include "ZkndTestSupport.h"

namespace {

namespace fs = std::filesystem;
using zkndtest::RunZknd;

std::set<std::string> Names(const fs::path& dir)
{
    std::vector<NodeDetailResData> vecData;
    std::string strWhy;
    EXPECT_TRUE(zknd::ReadNodeDetails(dir / zkndtest::NodeDetailFolder() / "NodeDetailDataEx.xml",
                                      vecData, strWhy))
        << strWhy;
    std::set<std::string> names;
    for (const NodeDetailResData& data : vecData) {
        names.insert(zknd::Utf8(data.GetDisplayName()));
        for (const char* pszExtension : {".dwg", ".sld"})
            EXPECT_TRUE(fs::is_regular_file(dir / zkndtest::NodeDetailFolder() /
                                            (zknd::Utf8(data.GetGuid()) + pszExtension)))
                << zknd::Utf8(data.GetDisplayName());
    }
    EXPECT_EQ(vecData.size(), names.size());
    return names;
}

}  // namespace

TEST(ZkndSaverTest, AnotherProcessSavingMeanwhileLosesNothingAndTheLinesSayWhatIsThere)
{
    zkndtest::TempDir temp;
    const std::string from = temp / "from";
    const std::string to = temp / "to";
    zkndtest::MakeDataDir(fs::u8path(from), {{'1', "Pump", ""}, {'2', "Valve", ""}});
    zkndtest::MakeDataDir(fs::u8path(to), {{'3', "Pump", ""}, {'4', "Pit", ""}, {'6', "PIT", ""}});

    // Another process adds a detail of another name.
    zkndtest::Ran other;
    zknd::SetBeforeSave([&] { other = RunZknd({"copy", to, "Pit"}); });
    zknd::StringOutput out;
    ASSERT_EQ(0, zknd::Run({"import", from, to}, out)) << out.m_err;
    ASSERT_EQ(0, other.nStatus) << other.err;
    EXPECT_EQ((std::set<std::string>{"Pump", "Pit", "PIT", "Pit(1)", "Pump(1)", "Valve"}),
              Names(to));
    EXPECT_TRUE(std::regex_search(
        out.m_out,
        std::regex("^renamed \"Pump\" 11111111-1111-1111-1111-111111111111 to \"Pump\\(1\\)\"\n"
                   "added \"Valve\" 22222222-2222-2222-2222-222222222222\n$")))
        << out.m_out;

    // Another process takes the very name the import gives: the import's
    // detail is saved under the next one, and its line says so.
    const std::string again = temp / "again";
    zkndtest::MakeDataDir(fs::u8path(again), {{'5', "PUMP", ""}});
    zknd::SetBeforeSave([&] { other = RunZknd({"copy", to, "Pump"}); });
    zknd::StringOutput out2;
    ASSERT_EQ(0, zknd::Run({"import", again, to}, out2)) << out2.m_err;
    ASSERT_EQ(0, other.nStatus) << other.err;
    const std::set<std::string> names = Names(to);
    EXPECT_EQ(8u, names.size());
    EXPECT_EQ(1u, names.count("Pump(2)"));  // the other process's copy of Pump
    EXPECT_EQ(1u, names.count("PUMP(3)"));
    EXPECT_EQ("renamed \"PUMP\" 55555555-5555-5555-5555-555555555555 to \"PUMP(3)\"\n", out2.m_out);
    EXPECT_NE(std::string::npos, out2.m_err.find(": note: ")) << out2.m_err;

    // fix renames the second of two names while another process copies.
    zknd::SetBeforeSave([&] { other = RunZknd({"copy", to, "Valve"}); });
    zknd::StringOutput fixed;
    ASSERT_EQ(0, zknd::Run({"fix", to, "--apply"}, fixed)) << fixed.m_out << fixed.m_err;
    zknd::SetBeforeSave(nullptr);
    ASSERT_EQ(0, other.nStatus) << other.err;
    EXPECT_NE(std::string::npos,
              fixed.m_out.find("repair: node detail \"PIT\" is renamed \"PIT(2)\""))
        << fixed.m_out;
    const std::set<std::string> after = Names(to);
    EXPECT_EQ(9u, after.size());
    EXPECT_EQ(1u, after.count("PIT(2)"));
    EXPECT_EQ(1u, after.count("Valve(1)"));
    EXPECT_EQ(0u, after.count("PIT"));
    EXPECT_EQ(0, RunZknd({"check", to}).nStatus);
}
