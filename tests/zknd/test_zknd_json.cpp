// zknd's --json: check on the damaged example data directory, field by field
// against the text form of the same check, in this process; fix, export and
// import run as programs.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <utility>

#include "Display.h"
#include "Zknd.h"
#include "ZkndTestSupport.h"

TEST(ZkndJsonTest, SameProblemsAsTheTextFieldByField)
{
    const std::string dir = zkndtest::BuiltPath(ZK_EXAMPLE_DATA);
    zknd::StringOutput text;
    zknd::StringOutput json;
    ASSERT_EQ(1, zknd::Run({"check", dir}, text)) << text.m_err;
    ASSERT_EQ(1, zknd::Run({"check", "--json", dir}, json)) << json.m_err;
    EXPECT_EQ("", json.m_err);

    const nlohmann::json result = nlohmann::json::parse(json.m_out);
    EXPECT_EQ(dir, result.at("dataDirectory"));
    const nlohmann::json& counts = result.at("counts");
    EXPECT_EQ(7, counts.at("nodeDetails"));
    EXPECT_EQ(3, counts.at("fittingGroups"));
    EXPECT_EQ(4, counts.at("fittings"));
    EXPECT_EQ(6, counts.at("errors"));
    EXPECT_EQ(6, counts.at("warnings"));

    std::istringstream lines(text.m_out);
    const nlohmann::json& problems = result.at("problems");
    ASSERT_EQ(12u, problems.size());
    int nErrors = 0;
    for (const nlohmann::json& p : problems) {
        std::string line;
        std::getline(lines, line);
        const int nLine = p.at("line");
        const int nColumn = p.at("column");
        const std::string severity = p.at("severity");
        nErrors += severity == "error" ? 1 : 0;
        std::string rebuilt = p.at("path").get<std::string>();
        if (nLine > 0)
            rebuilt += ":" + std::to_string(nLine) + ":" + std::to_string(nColumn);
        EXPECT_EQ(line, rebuilt + ": " + severity + ": " + p.at("message").get<std::string>());
        // Problems of a record name it; those of a file or a group do not.
        const std::string code = p.at("code");
        const bool bRecord = code != "value-not-read" && code != "character-replaced" &&
                             code != "fitting-type-shared" && code.compare(0, 8, "unnamed-") != 0;
        EXPECT_EQ(bRecord, p.contains("guid") && p.contains("name")) << code;
    }
    EXPECT_EQ(6, nErrors);

    const nlohmann::json& same = problems.at(1);
    EXPECT_EQ("duplicate-name", same.at("code"));
    EXPECT_EQ(6, same.at("line"));
    EXPECT_EQ(3, same.at("column"));
    EXPECT_EQ("7C9E6679-7425-40DE-944B-E07FC1F90AE7", same.at("guid"));
    EXPECT_EQ("PIPE RACK", same.at("name"));
    const nlohmann::json& value = problems.at(8);
    EXPECT_EQ("value-not-read", value.at("code"));
    EXPECT_EQ("warning", value.at("severity"));
    EXPECT_EQ(4, value.at("line"));
    EXPECT_EQ(96, value.at("column"));
    const nlohmann::json& guid = problems.at(3);
    EXPECT_EQ("guid-not-file-name", guid.at("code"));
    EXPECT_EQ(u8"..\\..\\\u7BA1\u4EF6\u5E93\\FitDataEx", guid.at("guid"));
}

// The commands that write, run as programs: each works on data directories
// of its own, and the managers serve one per process.

namespace {

using zkndtest::RunZknd;
namespace fs = std::filesystem;

// Whether the folder lists the file by that very name: a system that ignores
// letter case finds it by any spelling.
bool Listed(const fs::path& file)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path()))
        if (entry.path().filename().native() == file.filename().native())
            return entry.is_regular_file();
    return false;
}

// A problem of check --json as fix --json names one it did not repair: by
// its record where it has one (a rewritten library moves the lines), else by
// its place.
std::string ProblemKey(const nlohmann::json& p)
{
    std::string key = p.at("path").get<std::string>() + "|" + p.at("code").get<std::string>();
    if (p.contains("guid"))
        return key + "|" + p.at("guid").get<std::string>() + "|" + p.at("name").get<std::string>();
    return key + "|" + std::to_string(p.at("line").get<int>()) + ":" +
           std::to_string(p.at("column").get<int>());
}

}  // namespace

TEST(ZkndFixTest, TheExampleKeepsOnlyWhatFixCannotRepairAndItsBakIsTheOldLibrary)
{
    zkndtest::TempDir temp;
    const fs::path data = temp.Path() / "data";
    fs::copy(zkndtest::BuiltPath(ZK_EXAMPLE_DATA), data, fs::copy_options::recursive);
    const fs::path library = data / zkndtest::NodeDetailFolder() / "NodeDetailDataEx.xml";
    const std::string strOld = zkndtest::ReadBytes(library);
    // Saved after the drawing and slide no record names were made.
    fs::last_write_time(library, fs::file_time_type::clock::now() + std::chrono::hours(1));

    const zkndtest::Ran plan = RunZknd({"fix", "--json", data.u8string()});
    ASSERT_EQ(1, plan.nStatus) << plan.err;
    EXPECT_EQ(strOld, zkndtest::ReadBytes(library));
    const zkndtest::Ran done = RunZknd({"fix", "--apply", "--json", data.u8string()});
    ASSERT_EQ(1, done.nStatus) << done.err;
    const nlohmann::json planned = nlohmann::json::parse(plan.out);
    const nlohmann::json made = nlohmann::json::parse(done.out);
    EXPECT_FALSE(planned.at("applied").get<bool>());
    EXPECT_TRUE(made.at("applied").get<bool>());
    EXPECT_TRUE(planned.at("files").empty());

    // What the plan said is what was done, place by place.
    const nlohmann::json& repairs = made.at("repairs");
    ASSERT_EQ(planned.at("repairs").size(), repairs.size());
    std::vector<std::string> vecAction;
    for (size_t i = 0; i < repairs.size(); ++i) {
        EXPECT_EQ(planned["repairs"][i].at("path"), repairs[i].at("path"));
        EXPECT_EQ(planned["repairs"][i].at("line"), repairs[i].at("line"));
        EXPECT_EQ(planned["repairs"][i].at("action"), repairs[i].at("action"));
        vecAction.push_back(repairs[i].at("action"));
    }
    EXPECT_EQ((std::vector<std::string>{"rename", "new-guid", "canonical-guid", "as-read", "move",
                                        "move"}),
              vecAction);
    EXPECT_EQ(planned.at("notRepaired"), made.at("notRepaired"));

    // Every file named in the list is where the list says; the .bak is the
    // old library byte for byte.
    int nBackups = 0;
    for (const nlohmann::json& step : made.at("files")) {
        const std::string action = step.at("action");
        const fs::path from = fs::u8path(step.at("from").get<std::string>());
        const fs::path to = fs::u8path(step.at("to").get<std::string>());
        EXPECT_TRUE(Listed(to)) << to;
        EXPECT_EQ(action != "renamed" && action != "moved", Listed(from)) << from;
        if (action == "copied") {
            EXPECT_EQ(zkndtest::ReadBytes(from), zkndtest::ReadBytes(to));
        }
        if (action == "backup") {
            ++nBackups;
            EXPECT_EQ(library, from);
            EXPECT_EQ(strOld, zkndtest::ReadBytes(to));
        }
    }
    EXPECT_EQ(1, nBackups);
    EXPECT_TRUE(fs::is_directory(data / zkndtest::NodeDetailFolder() / "unreferenced"));

    // check finds what fix said it cannot repair, and nothing else.
    const zkndtest::Ran check = RunZknd({"check", "--json", data.u8string()});
    ASSERT_EQ(1, check.nStatus) << check.err;
    const nlohmann::json checked = nlohmann::json::parse(check.out);
    const nlohmann::json& left = checked.at("problems");
    const nlohmann::json& notRepaired = made.at("notRepaired");
    ASSERT_EQ(notRepaired.size(), left.size()) << check.out;
    for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ(ProblemKey(notRepaired[i]), ProblemKey(left[i]));

    // A second fix has nothing more to do.
    const zkndtest::Ran again = RunZknd({"fix", "--apply", "--json", data.u8string()});
    ASSERT_EQ(1, again.nStatus) << again.err;
    EXPECT_TRUE(nlohmann::json::parse(again.out).at("repairs").empty());
}

TEST(ZkndTransferTest, ExportedAndImportedIntoAnEmptyDirectoryTheLibrariesAreTheSame)
{
    zkndtest::TempDir temp;
    const std::string src = temp / "src";
    const std::string out = temp / "out";
    const std::string in = temp / "in";
    zkndtest::MakeDataDir(fs::u8path(src),
                          {{'1', "Pump", u8"\u6CF5\u57FA\u7840"},
                           {'2', "Pit", "Valve pit"},
                           {'1', "Pump DN50", "Shares the files of Pump"},
                           {'3', "Left", "Not exported"}},
                          u8"  <FitInfo FitType=\"7\">\n"
                          u8"    <FitRow GUID=\"44444444-4444-4444-4444-444444444444\" "
                          u8"BlockName=\"TEE\" DisplayName=\"Tee\" Scale=\"2\" />\n"
                          u8"  </FitInfo>\n");

    const zkndtest::Ran exported =
        RunZknd({"export", src, "pump", "PIT", "pump dn50", "--to", out, "--fittings", "--json"});
    ASSERT_EQ(0, exported.nStatus) << exported.err;
    const nlohmann::json e = nlohmann::json::parse(exported.out);
    EXPECT_EQ(src, e.at("from"));
    EXPECT_EQ(out, e.at("to"));
    const nlohmann::json& details = e.at("nodeDetails");
    ASSERT_EQ(3u, details.size());
    EXPECT_EQ("added", details[0].at("result"));
    EXPECT_EQ("Pump", details[0].at("asName"));
    EXPECT_EQ("added", details[1].at("result"));
    // The second holder of a GUID text takes a new one, with its own files.
    EXPECT_EQ("new-guid", details[2].at("result"));
    EXPECT_EQ("Pump DN50", details[2].at("asName"));
    EXPECT_NE("11111111-1111-1111-1111-111111111111", details[2].at("asGuid"));
    EXPECT_EQ(3, e.at("counts").at("nodeDetails").at("added"));
    ASSERT_EQ(1u, e.at("fittings").size());
    EXPECT_EQ(7, e.at("fittings")[0].at("fitType"));
    EXPECT_EQ("added", e.at("fittings")[0].at("result"));
    EXPECT_EQ(0, RunZknd({"check", out}).nStatus);

    fs::create_directories(fs::u8path(in));
    const zkndtest::Ran imported = RunZknd({"import", out, in, "--fittings", "--json"});
    ASSERT_EQ(0, imported.nStatus) << imported.err;
    const nlohmann::json i = nlohmann::json::parse(imported.out);
    for (const nlohmann::json& d : i.at("nodeDetails"))
        EXPECT_EQ("added", d.at("result")) << d;
    const zkndtest::Ran checked = RunZknd({"check", "--json", in});
    EXPECT_EQ(0, checked.nStatus) << checked.out;
    EXPECT_EQ(3, nlohmann::json::parse(checked.out).at("counts").at("nodeDetails"));
    EXPECT_EQ(RunZknd({"list", out}).out, RunZknd({"list", in}).out);
    EXPECT_EQ(RunZknd({"list", out, "fitting"}).out, RunZknd({"list", in, "fitting"}).out);
    size_t nFiles = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(fs::u8path(out))) {
        if (!entry.is_regular_file())
            continue;
        const fs::path below = entry.path().lexically_relative(fs::u8path(out));
        EXPECT_EQ(zkndtest::ReadBytes(entry.path()), zkndtest::ReadBytes(fs::u8path(in) / below))
            << below;
        ++nFiles;
    }
    EXPECT_EQ(8u, nFiles);  // two libraries, three drawings, three slides

    // Again: nothing changes, and each detail is found where it went.
    const fs::path library = fs::u8path(in) / zkndtest::NodeDetailFolder() / "NodeDetailDataEx.xml";
    const std::string strBefore = zkndtest::ReadBytes(library);
    const zkndtest::Ran again = RunZknd({"import", out, in, "--fittings", "--json"});
    ASSERT_EQ(0, again.nStatus) << again.err;
    const nlohmann::json a = nlohmann::json::parse(again.out);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ("skipped", a.at("nodeDetails")[i].at("result"));
        EXPECT_EQ(details[i].at("asGuid"), a.at("nodeDetails")[i].at("asGuid"));
    }
    EXPECT_EQ("skipped", a.at("fittings")[0].at("result"));
    EXPECT_EQ(0, a.at("counts").at("nodeDetails").at("added"));
    EXPECT_EQ(strBefore, zkndtest::ReadBytes(library));
}

// A ".bak" is named for the moment of the fix; its calendar holds at the
// days that are easy to get wrong.
TEST(ZkndFixTest, BackupStampsNameTheMomentInUtc)
{
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "19700101T000000Z"},
        {-1, "19691231T235959Z"},
        {951782399, "20000228T235959Z"},
        {951782400, "20000229T000000Z"},  // a leap day every 400 years
        {4107542399, "21000228T235959Z"},
        {4107542400, "21000301T000000Z"},  // none every 100
        {1796558454, "20261206T120054Z"},
        {253402300799, "99991231T235959Z"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.second, zknd::UtcStamp(row.first)) << row.first;
}
