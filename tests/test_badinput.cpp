// Damaged, hostile and oversized library files. Each file of tests/corpus/ is
// put in place of a library file and loaded; the table below says what the
// load must give: nothing (false, empty library) or a well-defined partial
// read. Whatever loads must also survive a save and a second load unchanged.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

namespace fs = std::filesystem;

namespace {

// The corpus lies beside this source file.
fs::path CorpusFolder()
{
    fs::path folder = fs::path(__FILE__).parent_path() / "corpus";
#if defined(_WIN32)
    // A cross build run under Wine sees the build machine's root as drive Z:.
    if (!fs::is_directory(folder) && std::string(__FILE__).rfind('/', 0) == 0)
        folder = fs::path(std::string("Z:") + __FILE__).parent_path() / "corpus";
#endif
    return folder;
}

// Text with everything outside printable ASCII as \uXXXX (UTF-16 units).
std::string Escaped(const CString& text)
{
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i) {
        const unsigned u = static_cast<unsigned>(text.GetAt(i)) & 0xFFFF;
        if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", u);
            out += buf;
        }
    }
    return out;
}

std::string NodeDetailSummary()
{
    std::vector<NodeDetailResData> records;
    ZkNodeDetailResDataManager()->GetVecNodeDetailResData(records);
    std::string out;
    for (const NodeDetailResData& r : records) {
        if (!out.empty())
            out += "|";
        out += Escaped(r.GetGuid()) + "/" + Escaped(r.GetDisplayName()) + "/" +
               Escaped(r.GetDescription());
    }
    return out;
}

std::string Reals(const stu3Value& v)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%g,%g,%g", v.x, v.y, v.z);
    return buf;
}

// The group count, then the first group of each type in use by the corpus:
// name{scale;pos;direction;buttress;index:angle:type@pos ...} per fitting.
std::string FittingSummary()
{
    CFitDataManager* pMgr = ZkFitDataManager();
    std::string out = "groups=" + std::to_string(pMgr->GetDataCount());
    for (int nType = -1; nType <= 3; ++nType) {
        std::vector<FittingData> fits;
        if (pMgr->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(nType), fits) == 0)
            continue;
        out += " [" + std::to_string(nType) + "]";
        for (const FittingData& fit : fits) {
            char scale[32];
            std::snprintf(scale, sizeof scale, "%g", fit.GetScale());
            out += " " + Escaped(fit.GetDisplayName()) + "{" + scale + ";" + Reals(fit.GetPos()) +
                   ";" + Reals(fit.GetDirection()) + ";" + Reals(fit.GetButtressPos()) + ";";
            std::vector<ConnectorData> cons;
            fit.GetConnector(cons);
            for (const ConnectorData& c : cons) {
                char one[64];
                std::snprintf(one, sizeof one, "%d:%g:%d@", c.GetIndex(), c.GetAngle(),
                              static_cast<int>(c.GetConType()));
                out += one + Reals(c.GetPos()) + " ";
            }
            out += "}";
        }
    }
    return out;
}

struct Library {
    std::function<bool()> load;
    std::function<bool()> save;
    std::function<std::string()> summary;
    fs::path file;
};

Library NodeDetailLibrary()
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    return {[pMgr] { return pMgr->Load(); }, [pMgr] { return pMgr->Save(); }, NodeDetailSummary,
            zktest::Native(std::wstring(pMgr->GetFileName()))};
}

Library FittingLibrary()
{
    CFitDataManager* pMgr = ZkFitDataManager();
    return {[pMgr] { return pMgr->Load(); }, [pMgr] { return pMgr->Save(); }, FittingSummary,
            zktest::Native(std::wstring(pMgr->GetFileName()))};
}

struct Outcome {
    bool loaded;
    const char* summary;  // what was read; "" or "groups=0" when nothing
};

// Files named nd-* are node-detail libraries, fit-* fitting libraries.
const std::map<std::string, Outcome>& ExpectedOutcomes()
{
    static const std::map<std::string, Outcome> table = {
        // Not a readable document, or not this library's: nothing is read.
        {"nd-truncated-in-attribute.xml", {false, ""}},
        {"nd-truncated-before-root-end.xml", {false, ""}},
        {"nd-empty-file.xml", {false, ""}},
        {"nd-bom-only.xml", {false, ""}},
        {"nd-binary-garbage.xml", {false, ""}},
        {"nd-wrong-root.xml", {false, ""}},
        {"nd-wrong-root-case.xml", {false, ""}},
        {"nd-two-roots.xml", {false, ""}},
        {"nd-comment-only.xml", {false, ""}},
        {"nd-nul-byte.xml", {false, ""}},
        {"nd-doctype-unterminated.xml", {false, ""}},
        {"fit-truncated.xml", {false, "groups=0"}},
        {"fit-wrong-root.xml", {false, "groups=0"}},
        // Readable: rows where the layout puts them, properties as far as they
        // make sense; anything else keeps its default.
        {"nd-trailing-text.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/Pump/pump base|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/Valve/gate valve"}},
        {"nd-rows-wrongly-nested.xml",
         {true, "6F9619FF-8B86-D011-B42D-00C04FC964FF/Top/kept|G2/Outer/"}},
        {"nd-odd-rows.xml", {true, "/no guid/|//|g/first/|/attribute/|/a\\u0009b c\\u000Ad/  "}},
        {"nd-invalid-utf8.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/"
          "P\\uFFFD\\uFFFD(\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD\\uFFFD|"
          "\\uFFFD\\uFFFD/pump base|0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/Valve/gate valve"}},
        // A NUL character ends the text; references to what is no character
        // read as replacement characters.
        {"nd-char-references.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/A/"
          "\\uFFFD\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD\\uFFFD|\\uFFFF|\\uD83D\\uDE00|\\u4E2D|&"
          "bogus;|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/Valve/gate valve"}},
        {"nd-utf16le-bom.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/\\u6CF5\\u57FA\\u7840/pump base|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/\\u9600\\u95E8/gate valve"}},
        {"nd-utf16be-bom.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/\\u6CF5\\u57FA\\u7840/pump base|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/\\u9600\\u95E8/gate valve"}},
        {"nd-utf16le-no-bom.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/\\u6CF5\\u57FA\\u7840/pump base|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/\\u9600\\u95E8/gate valve"}},
        {"nd-latin1-declared.xml",
         {true,
          "6F9619FF-8B86-D011-B42D-00C04FC964FF/Pump\\u00E9/pump base|"
          "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/Valve/gate valve"}},
        // Entities are neither fetched nor expanded: the references stay text.
        {"nd-doctype-external-entity.xml", {true, "&remote;/&xxe;/&lol3;"}},
        {"fit-wrong-nesting.xml", {true, "groups=1 [1] Reducer{3;0,0,0;0,0,0;0,0,0;}"}},
        {"fit-non-numeric.xml", {true, "groups=1 [-1] Words{1;0,0,0;0,0,0;0,0,0;0:0:-1@0,0,0 }"}},
        {"fit-out-of-range.xml",
         {true,
          "groups=2 [-1] Huge{1;0,0,0;0,0,0;0,0,0;0:0:-1@0,0,0 } [2] "
          "Spaces{0.25;1,2,3;0,0,0;0,0,0;}"}},
        {"fit-invalid-utf8.xml",
         {true,
          "groups=1 [0] El\\uFFFDbow\\uFFFD\\uFFFD{2;0,0,0;1,0,0;0,0,0;1:90:1@1,2,3 } "
          "Tee{2;0,0,0;1,0,0;0,0,0;}"}},
        {"fit-utf16le-bom.xml",
         {true,
          "groups=1 [0] \\u5F2F\\u5934{2;0,0,0;1,0,0;0,0,0;1:90:1@1,2,3 } "
          "Tee{2;0,0,0;1,0,0;0,0,0;}"}},
    };
    return table;
}

}  // namespace

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override { zktest::ResetDataDirectory(); }
};

TEST_F(BadInputTest, EveryCorpusFileGivesItsExpectedOutcome)
{
    const fs::path corpus = CorpusFolder();
    ASSERT_TRUE(fs::is_directory(corpus)) << corpus;
    std::set<std::string> seen;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        seen.insert(name);
        const auto it = ExpectedOutcomes().find(name);
        ASSERT_NE(ExpectedOutcomes().end(), it) << name << " has no expected outcome";
        const Outcome& expected = it->second;
        const Library lib = name.rfind("fit-", 0) == 0 ? FittingLibrary() : NodeDetailLibrary();

        zktest::ResetDataDirectory();
        const std::string bytes = zktest::ReadBytes(entry.path());
        zktest::WriteBytes(lib.file, bytes);
        // Bait for an external entity: it must never show up in what is read.
        zktest::WriteBytes(lib.file.parent_path() / "secret.txt", "SECRET");

        EXPECT_EQ(expected.loaded, lib.load()) << name;
        EXPECT_EQ(expected.summary, lib.summary()) << name;
        EXPECT_EQ(bytes, zktest::ReadBytes(lib.file)) << name << ": loading wrote the file";
        if (!expected.loaded)
            continue;
        ASSERT_TRUE(lib.save()) << name;
        ASSERT_TRUE(lib.load()) << name;
        EXPECT_EQ(expected.summary, lib.summary()) << name << " after a save";
    }
    for (const auto& [name, outcome] : ExpectedOutcomes())
        EXPECT_EQ(1u, seen.count(name)) << name << " is missing from " << corpus;
}

// 50 MB, made at run time: a node-detail library of realistic rows, then the
// same file cut short in its last row.
TEST_F(BadInputTest, FiftyMegabyteLibraryLoadsWholeOrNotAtAll)
{
    const Library lib = NodeDetailLibrary();
    std::string xml = "<?xml version=\"1.0\"?>\n<NodeDetailResData>\n";
    const size_t target = 50u * 1024 * 1024;
    int nRows = 0;
    char row[256];
    while (xml.size() < target) {
        std::snprintf(row, sizeof row,
                      "  <NodeDetailResDataRow GuId=\"%08X-0000-4000-8000-%012d\" "
                      "DisplayName=\"Detail %d\" Description=\"\xE7\xAE\xA1\xE9\x81\x93 "
                      "support DN%d\" />\n",
                      nRows, nRows, nRows, 50 + nRows % 500);
        xml += row;
        ++nRows;
    }
    xml += "</NodeDetailResData>\n";
    zktest::WriteBytes(lib.file, xml);
    ASSERT_TRUE(lib.load());
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    EXPECT_EQ(nRows, pMgr->GetDataCount());
    NodeDetailResData last;
    EXPECT_EQ(nRows - 1, pMgr->FindDataByDisplayName(
                             L"Detail " + CString(std::to_wstring(nRows - 1).c_str()), last));
    CString description;
    description.Format(L"管道 support DN%d", 50 + (nRows - 1) % 500);
    EXPECT_STREQ(description, last.GetDescription());

    xml.resize(xml.size() - 40);
    zktest::WriteBytes(lib.file, xml);
    EXPECT_FALSE(lib.load());
    EXPECT_EQ(0, pMgr->GetDataCount());
}

// Elements nested 100,000 deep inside a row, closed and left open. The parser
// must not recurse on them; the row itself still reads.
TEST_F(BadInputTest, DeepNestingNeitherOverflowsNorHidesTheRows)
{
    const int nDepth = 100000;
    std::string open;
    std::string close;
    for (int i = 0; i < nDepth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    const Library nodeDetail = NodeDetailLibrary();
    const std::string head =
        "<NodeDetailResData><NodeDetailResDataRow GuId=\"G\" DisplayName=\"Deep\">";
    zktest::WriteBytes(nodeDetail.file, head + open + "x" + close +
                                            "</NodeDetailResDataRow><NodeDetailResDataRow "
                                            "DisplayName=\"After\"/></NodeDetailResData>");
    EXPECT_TRUE(nodeDetail.load());
    EXPECT_EQ("G/Deep/|/After/", nodeDetail.summary());
    zktest::WriteBytes(nodeDetail.file, head + open);
    EXPECT_FALSE(nodeDetail.load());
    EXPECT_EQ("", nodeDetail.summary());

    const Library fitting = FittingLibrary();
    zktest::WriteBytes(fitting.file,
                       "<FitData><FitInfo FitType=\"0\"><FitRow DisplayName=\"Deep\" "
                       "Scale=\"2\"><vecConnector>" +
                           open + close + "<Connector Index=\"1\"/></vecConnector>" + open + close +
                           "</FitRow></FitInfo></FitData>");
    EXPECT_TRUE(fitting.load());
    EXPECT_EQ("groups=1 [0] Deep{2;0,0,0;0,0,0;0,0,0;1:0:-1@0,0,0 }", fitting.summary());
}
