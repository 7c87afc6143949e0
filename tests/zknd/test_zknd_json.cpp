// zknd check --json on the damaged example data directory, field by field
// against the text form of the same check, in this process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "Zknd.h"

namespace {

std::string ExampleDirectory()
{
    std::string dir = ZK_EXAMPLE_DATA;
#if defined(_WIN32)
    // A cross build run under Wine sees the build machine's root as drive Z:.
    if (dir.rfind('/', 0) == 0)
        dir = "Z:" + dir;
#endif
    return dir;
}

}  // namespace

TEST(ZkndJsonTest, SameProblemsAsTheTextFieldByField)
{
    const std::string dir = ExampleDirectory();
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
