// Damaged, hostile and oversized library files, put in place of a library
// file (nd-*: node-detail, fit-*: fitting) and loaded; whatever loads must
// survive a save and a second load unchanged.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "TestEnvironment.h"
#include "TestUtil.h"

namespace fs = std::filesystem;
using zktest::Library;

namespace {

// Text with everything outside printable ASCII as \uXXXX (UTF-16 units).
std::string Escaped(const CString& text)
{
    std::string out;
    char buf[8];
    for (int i = 0; i < text.GetLength(); ++i) {
        const unsigned u = static_cast<unsigned>(text.GetAt(i)) & 0xFFFF;
        std::snprintf(buf, sizeof buf, u >= 0x20 && u < 0x7F ? "%c" : "\\u%04X", u);
        out += buf;
    }
    return out;
}

// guid/name/description|... for node details; for fittings the group count,
// then per type in use name{scale;pos;direction;buttress;index:angle:type@pos ...}.
std::string Summary(bool bFitting)
{
    std::string out;
    char buf[256];
    if (!bFitting) {
        std::vector<NodeDetailResData> records;
        ZkNodeDetailResDataManager()->GetVecNodeDetailResData(records);
        for (const NodeDetailResData& r : records)
            out += (out.empty() ? "" : "|") + Escaped(r.GetGuid()) + "/" +
                   Escaped(r.GetDisplayName()) + "/" + Escaped(r.GetDescription());
        return out;
    }
    CFitDataManager* pMgr = ZkFitDataManager();
    out = "groups=" + std::to_string(pMgr->GetDataCount());
    for (int nType = -1; nType <= 3; ++nType) {
        std::vector<FittingData> fits;
        if (pMgr->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(nType), fits) == 0)
            continue;
        out += " [" + std::to_string(nType) + "]";
        for (const FittingData& fit : fits) {
            const stu3Value p = fit.GetPos(), d = fit.GetDirection(), b = fit.GetButtressPos();
            std::snprintf(buf, sizeof buf, "{%g;%g,%g,%g;%g,%g,%g;%g,%g,%g;", fit.GetScale(), p.x,
                          p.y, p.z, d.x, d.y, d.z, b.x, b.y, b.z);
            out += " " + Escaped(fit.GetDisplayName()) + buf;
            std::vector<ConnectorData> cons;
            fit.GetConnector(cons);
            for (const ConnectorData& c : cons) {
                std::snprintf(buf, sizeof buf, "%d:%g:%d@%g,%g,%g ", c.GetIndex(), c.GetAngle(),
                              static_cast<int>(c.GetConType()), c.GetPos().x, c.GetPos().y,
                              c.GetPos().z);
                out += buf;
            }
            out += "}";
        }
    }
    return out;
}

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override { zktest::ResetDataDirectory(); }
};

}  // namespace

// Each file of tests/corpus/ and a few made here: whether it loads, and what
// is read ("" or "groups=0" when nothing).
TEST_F(BadInputTest, EveryFileGivesItsExpectedOutcome)
{
    const std::string pump = "6F9619FF-8B86-D011-B42D-00C04FC964FF/";
    const std::string valveGuid = "0A1B2C3D-4E5F-4071-8293-A4B5C6D7E8F9/";
    const std::string valve = "|" + valveGuid + "Valve/gate valve";
    const std::string chinese =
        pump + "\\u6CF5\\u57FA\\u7840/pump base|" + valveGuid + "\\u9600\\u95E8/gate valve";
    const std::string elbow = "{2;0,0,0;1,0,0;0,0,0;1:90:1@1,2,3 } Tee{2;0,0,0;1,0,0;0,0,0;}";
    std::map<std::string, std::pair<bool, std::string>> expected = {
        // Readable: rows where the layout puts them, properties as far as they
        // make sense; anything else keeps its default.
        {"nd-trailing-text.xml", {true, pump + "Pump/pump base" + valve}},
        {"nd-rows-wrongly-nested.xml", {true, pump + "Top/kept|G2/Outer/"}},
        {"nd-odd-rows.xml", {true, "/no guid/|//|g/first/|/attribute/|/a\\u0009b c\\u000Ad/  "}},
        {"nd-invalid-utf8.xml",
         {true, pump +
                    "P\\uFFFD\\uFFFD(\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD"
                    "\\uFFFD|\\uFFFD\\uFFFD/pump base" +
                    valve}},
        // A NUL character ends the text; references to what is no character
        // read as replacement characters.
        {"nd-char-references.xml",
         {true, pump +
                    "A/\\uFFFD\\uFFFD\\uFFFD|\\uFFFD\\uFFFD\\uFFFD\\uFFFD|\\uFFFF|\\uD83D"
                    "\\uDE00|\\u4E2D|&bogus;" +
                    valve}},
        {"nd-utf16le-bom.xml", {true, chinese}},
        {"nd-utf16be-bom.xml", {true, chinese}},
        {"nd-utf16le-no-bom.xml", {true, chinese}},
        {"nd-latin1-declared.xml", {true, pump + "Pump\\u00E9/pump base" + valve}},
        // Entities are neither fetched nor expanded: the references stay text.
        {"nd-doctype-external-entity.xml", {true, "&remote;/&xxe;/&lol3;"}},
        {"fit-wrong-nesting.xml", {true, "groups=1 [1] Reducer{3;0,0,0;0,0,0;0,0,0;}"}},
        {"fit-non-numeric.xml", {true, "groups=1 [-1] Words{1;0,0,0;0,0,0;0,0,0;0:0:-1@0,0,0 }"}},
        {"fit-out-of-range.xml",
         {true,
          "groups=2 [-1] Huge{1;0,0,0;0,0,0;0,0,0;0:0:-1@0,0,0 } [2] "
          "Spaces{0.25;1,2,3;0,0,0;0,0,0;}"}},
        {"fit-invalid-utf8.xml", {true, "groups=1 [0] El\\uFFFDbow\\uFFFD\\uFFFD" + elbow}},
        {"fit-utf16le-bom.xml", {true, "groups=1 [0] \\u5F2F\\u5934" + elbow}},
        {"fit-truncated.xml", {false, "groups=0"}},
        {"fit-wrong-root.xml", {false, "groups=0"}},
        // Nested 100,000 deep: the parser must not recurse on them.
        {"nd-deep.xml", {true, "G/Deep/|/After/"}},
        {"nd-deep-unclosed.xml", {false, ""}},
        {"fit-deep.xml", {true, "groups=1 [0] Deep{2;0,0,0;0,0,0;0,0,0;1:0:-1@0,0,0 }"}},
    };
    // Not a readable document, or not this library's: nothing is read.
    for (const char* name :
         {"nd-truncated-in-attribute.xml", "nd-truncated-before-root-end.xml", "nd-empty-file.xml",
          "nd-bom-only.xml", "nd-binary-garbage.xml", "nd-wrong-root.xml", "nd-wrong-root-case.xml",
          "nd-two-roots.xml", "nd-comment-only.xml", "nd-nul-byte.xml",
          "nd-doctype-unterminated.xml"})
        expected[name] = {false, ""};

    std::map<std::string, std::string> files;
    fs::path corpus = fs::path(__FILE__).parent_path() / "corpus";
#if defined(_WIN32)
    // A cross build run under Wine sees the build machine's root as drive Z:.
    if (!fs::is_directory(corpus) && std::string(__FILE__).rfind('/', 0) == 0)
        corpus = fs::path(std::string("Z:") + __FILE__).parent_path() / "corpus";
#endif
    for (const auto& entry : fs::directory_iterator(corpus))
        files[entry.path().filename().string()] = zktest::ReadBytes(entry.path());
    std::string open, close;
    for (int i = 0; i < 100000; ++i)
        open += "<a>", close += "</a>";
    const std::string head =
        "<NodeDetailResData><NodeDetailResDataRow GuId=\"G\" DisplayName=\"Deep\">";
    files["nd-deep.xml"] = head + open + "x" + close +
                           "</NodeDetailResDataRow><NodeDetailResDataRow DisplayName=\"After\"/>"
                           "</NodeDetailResData>";
    files["nd-deep-unclosed.xml"] = head + open;
    files["fit-deep.xml"] =
        "<FitData><FitInfo FitType=\"0\"><FitRow DisplayName=\"Deep\" "
        "Scale=\"2\"><vecConnector>" +
        open + close + "<Connector Index=\"1\"/></vecConnector>" + open + close +
        "</FitRow></FitInfo></FitData>";
    EXPECT_EQ(expected.size(), files.size()) << "files missing from " << corpus;

    for (const auto& [name, bytes] : files) {
        ASSERT_EQ(1u, expected.count(name)) << name << " has no expected outcome";
        const auto& [bLoads, summary] = expected.at(name);
        const bool bFitting = name.rfind("fit-", 0) == 0;
        const Library lib = bFitting ? Library::Fitting() : Library::NodeDetail();
        zktest::ResetDataDirectory();
        zktest::WriteBytes(lib.file, bytes);
        // Bait for an external entity: it must never show up in what is read.
        zktest::WriteBytes(lib.file.parent_path() / "secret.txt", "SECRET");
        EXPECT_EQ(bLoads, lib.load()) << name;
        EXPECT_EQ(summary, Summary(bFitting)) << name;
        EXPECT_EQ(bytes, zktest::ReadBytes(lib.file)) << name << ": loading wrote the file";
        if (bLoads) {
            ASSERT_TRUE(lib.save()) << name;
            ASSERT_TRUE(lib.load()) << name;
            EXPECT_EQ(summary, Summary(bFitting)) << name << " after a save";
        }
    }
}

// 50 MB made at run time, then the same file cut short in its last row.
TEST_F(BadInputTest, FiftyMegabyteLibraryLoadsWholeOrNotAtAll)
{
    const Library lib = Library::NodeDetail();
    const int nRows = 50 * 1024 * 1024 / 110;
    std::string xml = zktest::NodeDetailXml(nRows, 7);
    ASSERT_GT(xml.size(), 50u * 1024 * 1024);
    zktest::WriteBytes(lib.file, xml);
    ASSERT_TRUE(lib.load());
    EXPECT_EQ(nRows, lib.count());
    NodeDetailResData last;
    const CString strLast = (L"Detail " + std::to_wstring(nRows - 1)).c_str();
    EXPECT_EQ(nRows - 1, ZkNodeDetailResDataManager()->FindDataByDisplayName(strLast, last));
    CString description;
    description.Format(L"管道 v7 DN%d", 50 + (nRows - 1) % 500);
    EXPECT_STREQ(description, last.GetDescription());

    xml.resize(xml.size() - 40);
    zktest::WriteBytes(lib.file, xml);
    EXPECT_FALSE(lib.load());
    EXPECT_EQ(0, lib.count());
}
