// Damaged, hostile and oversized library files, put in place of a library
// file (nd-*: node-detail, fit-*: fitting) and loaded; whatever loads must
// survive a save and a second load unchanged, and the manager's report of
// each Load says why. A file that is there but does not read empties the
// list; one that is missing leaves it alone.

#include <map>
#include <sstream>

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
    auto text = [](const stu3Value& v) { return Escaped(ZkU3ValueToText(v)); };
    CFitDataManager* pMgr = ZkFitDataManager();
    out = "groups=" + std::to_string(pMgr->GetDataCount());
    for (int nType = -1; nType <= 3; ++nType) {
        std::vector<FittingData> fits;
        if (pMgr->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(nType), fits) == 0)
            continue;
        out += " [" + std::to_string(nType) + "]";
        for (const FittingData& fit : fits) {
            std::snprintf(buf, sizeof buf, "{%g;", fit.GetScale());
            out += " " + Escaped(fit.GetDisplayName()) + buf + text(fit.GetPos()) + ";" +
                   text(fit.GetDirection()) + ";" + text(fit.GetButtressPos()) + ";";
            std::vector<ConnectorData> cons;
            fit.GetConnector(cons);
            for (const ConnectorData& c : cons) {
                std::snprintf(buf, sizeof buf, "%d:%g:%d@", c.GetIndex(), c.GetAngle(),
                              static_cast<int>(c.GetConType()));
                out += buf + text(c.GetPos()) + " ";
            }
            out += "}";
        }
    }
    return out;
}

// read, malformed@line:column(reason), wrong-root:name, undecodable:name ...,
// then each warning: +bad(section.property=text)@line:column,
// +amp(section.property:text)@line:column, +enc(declared)@line:column or
// +char(U+XXXX)@line:column.
std::string OutcomeOf(const ZkReport& r)
{
    static const char* const names[] = {"none",          "read",         "missing",   "not-regular",
                                        "not-permitted", "system-error", "malformed", "wrong-root",
                                        "undecodable",   "copy-failed",  "no-record"};
    auto at = [](int nLine, int nColumn) {
        return "@" + std::to_string(nLine) + ":" + std::to_string(nColumn);
    };
    std::string out = names[static_cast<int>(r.eOutcome)];
    if (r.eOutcome == ZkOutcome::kMalformed)
        out += at(r.nLine, r.nColumn) + "(" + Escaped(r.strReason) + ")";
    if (!r.strName.IsEmpty())
        out += ":" + Escaped(r.strName);
    for (const ZkWarning& w : r.vecWarning) {
        const std::string where = Escaped(w.strSection) + "." + Escaped(w.strProperty);
        out += (w.eKind == ZkWarningKind::kValueNotRead
                    ? "+bad(" + where + "=" + Escaped(w.strText) + ")"
                : w.eKind == ZkWarningKind::kAmpersandAsText
                    ? "+amp(" + where + ":" + Escaped(w.strText) + ")"
                : w.eKind == ZkWarningKind::kEncodingByByteOrderMark
                    ? "+enc(" + Escaped(w.strText) + ")"
                    : "+char(" + Escaped(w.strText) + ")") +
               at(w.nLine, w.nColumn);
    }
    return out;
}

using BadInputTest = zktest::LibraryTest;

}  // namespace

// Each file of tests/corpus/ and a few made here gives the outcome that
// tests/corpus/outcomes.txt holds for it.
TEST_F(BadInputTest, EveryFileGivesItsExpectedOutcome)
{
    std::map<std::string, std::string> files;
    fs::path corpus = fs::path(__FILE__).parent_path() / "corpus";
#if defined(_WIN32)
    // A cross build run under Wine sees the build machine's root as drive Z:.
    if (!fs::is_directory(corpus) && std::string(__FILE__).rfind('/', 0) == 0)
        corpus = fs::path(std::string("Z:") + __FILE__).parent_path() / "corpus";
#endif
    for (const auto& entry : fs::directory_iterator(corpus))
        if (entry.path().extension() == ".xml")
            files[entry.path().filename().string()] = zktest::ReadBytes(entry.path());
    struct Expected {
        bool bLoads;
        std::string outcome, summary;
    };
    std::map<std::string, Expected> expected;
    std::istringstream outcomes(zktest::ReadBytes(corpus / "outcomes.txt"));
    for (std::string line; std::getline(outcomes, line);) {
        std::istringstream fields(line);
        std::string name, result, rest;
        if (!(fields >> name >> result) || name[0] == '#')
            continue;
        std::getline(fields.ignore(1), rest);
        // The outcome ends at the first space outside a parenthesised reason.
        size_t nEnd = 0;
        for (int nDepth = 0; nEnd < rest.size() && (rest[nEnd] != ' ' || nDepth > 0); ++nEnd)
            nDepth += rest[nEnd] == '(' ? 1 : rest[nEnd] == ')' ? -1 : 0;
        expected[name] = {result == "loads", rest.substr(0, nEnd),
                          nEnd < rest.size() ? rest.substr(nEnd + 1) : std::string()};
    }
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
        const auto& [bLoads, outcome, summary] = expected.at(name);
        const bool bFitting = name.rfind("fit-", 0) == 0;
        const Library lib = bFitting ? Library::Fitting() : Library::NodeDetail();
        zktest::ResetDataDirectory();
        zktest::WriteBytes(lib.file, bFitting ? "<FitData><FitInfo/></FitData>"
                                              : "<NodeDetailResData><NodeDetailResDataRow/>"
                                                "</NodeDetailResData>");
        ASSERT_TRUE(lib.load() && lib.count() == 1);  // to be replaced
        zktest::WriteBytes(lib.file, bytes);
        // Bait for an external entity: it must never show up in what is read.
        zktest::WriteBytes(lib.file.parent_path() / "secret.txt", "SECRET");
        const bool bLoaded = lib.load();
        // The row this file gives, for the table.
        const std::string row = name + (bLoaded ? " loads " : " fails ") + OutcomeOf(lib.report()) +
                                " " + Summary(bFitting);
        EXPECT_EQ(bLoads, bLoaded) << row;
        EXPECT_EQ(summary, Summary(bFitting)) << row;
        EXPECT_EQ(outcome, OutcomeOf(lib.report())) << row;
        EXPECT_EQ(bytes, zktest::ReadBytes(lib.file)) << name << ": loading wrote the file";
        if (bLoads) {
            ASSERT_TRUE(lib.save()) << name;
            ASSERT_TRUE(lib.load()) << name;
            EXPECT_EQ(summary, Summary(bFitting)) << name << " after a save";
        }
        fs::remove(lib.file);
        EXPECT_FALSE(lib.load());
        EXPECT_EQ(ZkOutcome::kMissing, lib.report().eOutcome);
        EXPECT_EQ(summary, Summary(bFitting)) << name << " after loading no file";
        EXPECT_TRUE(lib.update() && lib.count() == 0) << name;
    }
}

// Repeated attribute names are found by a scan of the bytes, or, after a
// DOCTYPE, by a walk over the parsed document: both find the same first
// repeat, with names that share their ends, short and long names, any white
// space, and beyond the 32 attributes the walk keeps at hand.
TEST_F(BadInputTest, DuplicatedAttributesFoundAlikeByScanAndWalk)
{
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += " n" + std::to_string(i) + "=\"\"";
    const struct {
        std::string attributes;
        bool bRepeats;
    } cases[] = {
        {" a=\"1\" a=\"2\"", true},
        {"\ta=\"1\"\na=\"2\"", true},
        {" a=\"1\" ba=\"2\" b=\"3\"", false},
        {" BlockName=\"\" DisplayName=\"\" Name=\"\" xName=\"\"", false},
        {" BlockName=\"\"\tName=\"\"\n\r\nBlockName = \"\"", true},
        {" \xE5\x90\x8D=\"\" x\xE5\x90\x8D=\"\" \xE5\x90\x8D=''", true},
        {" abcd=\"\" zbcd=\"\" bcd=\"\"", false},
        {many, false},
        {many + " n35=\"\"", true},
        {many + " n1=\"\"", true},
        {" n1=\"\"" + many, true},
    };
    const Library lib = Library::NodeDetail();
    for (const auto& c : cases) {
        const std::string body =
            "<NodeDetailResData>\n<NodeDetailResDataRow" + c.attributes + "/></NodeDetailResData>";
        zktest::WriteBytes(lib.file, "\n" + body);
        EXPECT_EQ(!c.bRepeats, lib.load()) << c.attributes;
        const std::string scanned = OutcomeOf(lib.report());
        zktest::WriteBytes(lib.file, "<!DOCTYPE NodeDetailResData>\n" + body);
        lib.load();
        EXPECT_EQ(scanned, OutcomeOf(lib.report())) << c.attributes;
    }
}

// 50 MB made at run time loads whole; cut short in its last row, nothing.
TEST_F(BadInputTest, FiftyMegabyteLibraryLoadsWholeOrNotAtAll)
{
    const Library lib = Library::NodeDetail();
    const int nRows = 50 * 1024 * 1024 / 110;
    std::string xml = zktest::NodeDetailXml(nRows, 7);
    zktest::WriteBytes(lib.file, xml);
    ASSERT_TRUE(xml.size() > 50u * 1024 * 1024 && lib.load() && lib.count() == nRows);
    NodeDetailResData last;
    const std::wstring strLast = L"Detail " + std::to_wstring(nRows - 1);
    EXPECT_EQ(nRows - 1,
              ZkNodeDetailResDataManager()->FindDataByDisplayName(strLast.c_str(), last));
    EXPECT_EQ(L"管道 v7 DN" + std::to_wstring(50 + (nRows - 1) % 500),
              std::wstring(last.GetDescription()));
    zktest::WriteBytes(lib.file, xml.substr(0, xml.size() - 40));
    EXPECT_FALSE(lib.load());
    EXPECT_EQ(0, lib.count());
}
