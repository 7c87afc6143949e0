// The property exchange's writer and reader against each other and against
// pugixml: the bytes of a save, what happens to characters XML cannot carry,
// positions read straight from the bytes, what the capture records, and
// every conversion between UTF-8 and UTF-16 at the edges of their forms.
// One file: every case shares the fixture and the library helpers.

#include <pugixml.hpp>

#include <cmath>
#include <cstring>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/internal/exchange/ExchangeAccess.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDecoder.h"

using zktest::Library;

namespace {

std::string Utf8(const std::wstring& w)
{
    return ZkText::Utf16ToUtf8(CString(w.c_str()).GetString(), CString(w.c_str()).GetLength());
}

struct StringWriter : pugi::xml_writer {
    void write(const void* data, size_t size) override
    {
        out.append(static_cast<const char*>(data), size);
    }
    std::string out;
};

std::string PugiBytes(const pugi::xml_document& doc)
{
    StringWriter w;
    doc.save(w, "  ", pugi::format_default, pugi::encoding_utf8);
    return w.out;
}

using ExchangeTest = zktest::LibraryTest;

}  // namespace

// Texts of every printable ASCII character, quotes, TAB, LF, CR, Chinese and
// a supplementary character, and each character that needs care slid through
// two blocks of 16 plain units: Save writes exactly what pugixml writes for
// the same document, for both libraries.
TEST_F(ExchangeTest, SaveWritesPugixmlsBytes)
{
    std::wstring ascii;
    for (wchar_t c = 0x20; c < 0x7F; ++c)
        ascii += c;
    std::vector<std::wstring> texts = {L"", ascii, L"\t\n\r\r\n", L"泵基础 \U0001F600", L"  "};
    for (const wchar_t* special : {L"&", L"<", L">", L"\"", L"\t", L"\n", L"\r", L"\u7BA1",
                                   L"\u00E4", L"\U0001F600", L"\x7F"})
        for (size_t nBefore = 0; nBefore < 34; ++nBefore)
            texts.push_back(std::wstring(nBefore, L'a') + special +
                            std::wstring(33 - nBefore, L'z'));
    std::vector<NodeDetailResData> rows;
    pugi::xml_document nd;
    pugi::xml_node ndRoot = nd.append_child("NodeDetailResData");
    for (const std::wstring& t : texts) {
        NodeDetailResData r;
        r.SetGuid(t.c_str());
        r.SetDisplayName((t + L"x").c_str());
        r.SetDescription(t.c_str());
        rows.push_back(r);
        pugi::xml_node row = ndRoot.append_child("NodeDetailResDataRow");
        row.append_attribute("GuId").set_value(Utf8(t).c_str());
        row.append_attribute("DisplayName").set_value(Utf8(t + L"x").c_str());
        row.append_attribute("Description").set_value(Utf8(t).c_str());
    }
    ZkNodeDetailResDataManager()->SetVecNodeDetailResData(rows);
    const Library nodeDetail = Library::NodeDetail();
    std::filesystem::create_directories(nodeDetail.file.parent_path());
    ASSERT_TRUE(nodeDetail.save());
    EXPECT_EQ(PugiBytes(nd), zktest::ReadBytes(nodeDetail.file));

    FittingData fit;
    fit.SetDisplayName(ascii.c_str());
    fit.SetPos(stu3Value(0.1, -2, 1e300));
    fit.SetScale(0.5);
    ConnectorData con;
    con.SetAngle(-90);
    fit.SetConnector({con, con});
    fit.SetFitType(static_cast<NodeDetailEx::FittingType>(3));
    FittingData bare;
    bare.SetFitType(fit.GetFitType());
    CFitDataManager* pFit = ZkFitDataManager();
    pFit->Update();
    pFit->AddFit(bare);
    pFit->AddFit(fit);  // first in the group
    pugi::xml_document fd;
    pugi::xml_node info = fd.append_child("FitData").append_child("FitInfo");
    info.append_attribute("FitType").set_value("3");
    for (const FittingData* f : {&fit, &bare}) {
        pugi::xml_node row = info.append_child("FitRow");
        const char* const names[] = {"Pos",         "GUID",        "BlockName", "Scale",
                                     "DisplayName", "Description", "Direction", "ButtressPos"};
        const std::string values[] = {
            Utf8(ZkU3ValueToText(f->GetPos()).GetString()), "", "",      f == &fit ? "0.5" : "1",
            Utf8(f->GetDisplayName().GetString()),          "", "0,0,0", "0,0,0"};
        for (int i = 0; i < 8; ++i)
            row.append_attribute(names[i]).set_value(values[i].c_str());
        pugi::xml_node cons = row.append_child("vecConnector");
        for (int i = 0; i < f->GetConNum(); ++i) {
            pugi::xml_node c = cons.append_child("Connector");
            c.append_attribute("Pos").set_value("0,0,0");
            c.append_attribute("Angle").set_value("-90");
            c.append_attribute("ConType").set_value("-1");
            c.append_attribute("Index").set_value("0");
        }
    }
    const Library fitting = Library::Fitting();
    std::filesystem::create_directories(fitting.file.parent_path());
    ASSERT_TRUE(fitting.save());
    EXPECT_EQ(PugiBytes(fd), zktest::ReadBytes(fitting.file));
}

// Characters XML cannot carry are written as U+FFFD, each recorded with its
// place; the file parses with pugixml and reads back equal to what was
// written; everything else comes back exactly.
TEST_F(ExchangeTest, CharactersXmlCannotCarryAreWrittenAsReplacementCharacters)
{
    struct Case {
        std::wstring text, back;
        unsigned long nReplaced;
    };
    const Case cases[] = {
        {{L'a', 0x01, L'b'}, {L'a', 0xFFFD, L'b'}, 0x01},
        {{0x1F}, {0xFFFD}, 0x1F},
        {{L'x', 0xFFFE}, {L'x', 0xFFFD}, 0xFFFE},
        {{0xFFFF, L'y'}, {0xFFFD, L'y'}, 0xFFFF},
        {{0xD800, L'z'}, {0xFFFD, L'z'}, 0xD800},
        {{L'z', 0xDC00}, {L'z', 0xFFFD}, 0xDC00},
        {{0xD83D, 0xDE00, 0x7F, L'\t'}, {0xD83D, 0xDE00, 0x7F, L'\t'}, 0},
    };
    std::vector<NodeDetailResData> rows;
    for (const Case& c : cases) {
        NodeDetailResData r;
        r.SetDisplayName(CString(c.text.data(), static_cast<int>(c.text.size())));
        rows.push_back(r);
    }
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    pMgr->SetVecNodeDetailResData(rows);
    const Library lib = Library::NodeDetail();
    std::filesystem::create_directories(lib.file.parent_path());
    ASSERT_TRUE(lib.save());
    const ZkReport& saved = pMgr->GetLastReport();
    EXPECT_EQ(ZkOutcome::kDone, saved.eOutcome);
    size_t nWarning = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].nReplaced == 0)
            continue;
        ASSERT_LT(nWarning, saved.vecWarning.size());
        const ZkWarning& w = saved.vecWarning[nWarning++];
        wchar_t code[16];
        std::swprintf(code, 16, L"U+%04lX", cases[i].nReplaced);
        EXPECT_TRUE(w.eKind == ZkWarningKind::kCharacterReplaced &&
                    w.strSection == L"NodeDetailResDataRow" && w.strProperty == L"DisplayName" &&
                    w.strText == code && w.strMessage.Find(L"cannot be written") > 0)
            << i;
        // Line 1 is the declaration, 2 the root; the name's text starts in column 46.
        const size_t nColumn =
            46 + (cases[i].text[0] == L'a' || cases[i].text[0] == L'x' || cases[i].text[0] == L'z'
                      ? 1
                      : 0);
        EXPECT_TRUE(w.nLine == static_cast<int>(i + 3) && w.nColumn == static_cast<int>(nColumn))
            << i << ": " << w.nLine << ":" << w.nColumn;
    }
    EXPECT_EQ(nWarning, saved.vecWarning.size());

    pugi::xml_document strict;
    EXPECT_TRUE(strict.load_string(zktest::ReadBytes(lib.file).c_str()));
    ASSERT_TRUE(lib.load());
    pMgr->GetVecNodeDetailResData(rows);
    ASSERT_EQ(std::size(cases), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(cases[i].back, std::wstring(rows[i].GetDisplayName().GetString(),
                                              rows[i].GetDisplayName().GetLength()))
            << i;
    EXPECT_TRUE(pMgr->GetLastReport().Succeeded() && pMgr->GetLastReport().vecWarning.empty());
}

// A position read straight from the bytes gives what ZkTextToU3Value gives
// for the same text, field by field, whatever the text.
TEST_F(ExchangeTest, PositionsReadFromBytesAsTheHostConversionReadsThem)
{
    const std::string texts[] = {"1,2,3",
                                 " +-1 ,\t+2\t,3 ",
                                 "1,,3",
                                 "1,2",
                                 "1,2,3,4",
                                 "1e400,0,0",
                                 "nan,inf,-0",
                                 "0x1,2,3",
                                 "+ 1,2,3",
                                 "1.5e-3,-.5,5.",
                                 "\xE4\xB8\xAD,1,2",
                                 std::string(127, '7') + ",1,2",
                                 std::string(128, '7') + ",1,2"};
    std::string xml = "<L>";
    for (std::string t : texts) {
        for (size_t at = t.find('\t'); at != std::string::npos; at = t.find('\t'))
            t.replace(at, 1, "&#9;");  // kept as TAB, not normalised
        xml += "<R P=\"" + t + "\"/>";
    }
    const std::wstring path = zktest::DataDirectory() + L"u3.xml";
    zktest::WriteBytes(zktest::Native(path), xml + "</L>");
    CXTPPropExchange px(1, nullptr, L"L");
    ASSERT_EQ(1, px.LoadFromFile(path.c_str()));
    CXTPPropExchangeEnumerator items = px.GetEnumerator(L"R");
    POSITION pos = items.GetPosition();
    for (const std::string& t : texts) {
        CXTPPropExchange item = items.GetNext(pos);
        stu3Value fromBytes(7, 8, 9), fromText(7, 8, 9);
        EXPECT_EQ(1, ZkExchangeAccess::PX_U3Value(&item, L"P", fromBytes));
        ZkTextToU3Value(CString(ZkText::Utf8ToUtf16(t.data(), t.size()).c_str()), fromText);
        EXPECT_EQ(0, std::memcmp(&fromBytes, &fromText, sizeof fromText)) << t;
    }
}

// A value held in an element that does not read is placed where its text
// starts; an attribute of the same name goes first.
TEST_F(ExchangeTest, ElementValueWarningIsPlacedAtItsText)
{
    const Library fit = Library::Fitting();
    zktest::WriteBytes(fit.file,
                       "<FitData>\n<FitInfo>\n  <FitType>\n\n x1</FitType>\n"
                       "  <FitRow Scale=\"2\"><Scale>no</Scale></FitRow>\n"
                       "</FitInfo></FitData>");
    ASSERT_TRUE(fit.load());
    const ZkReport& r = ZkFitDataManager()->GetLastReport();
    ASSERT_EQ(1u, r.vecWarning.size());
    EXPECT_TRUE(r.vecWarning[0].strText == L"\n\n x1" && r.vecWarning[0].nLine == 3 &&
                r.vecWarning[0].nColumn == 12 && r.vecWarning[0].strSection == L"FitInfo")
        << r.vecWarning[0].nLine << ":" << r.vecWarning[0].nColumn;
}

// The checks and the decoding go 16 and 64 bytes at a time, and runs of
// three-byte characters five at a time: each sequence, slid through every
// position of a block and across its end, alone or amid such a run, reads or
// fails the same way, and a failure is placed at the sequence.
TEST_F(ExchangeTest, BlockBoundariesChangeNothing)
{
    struct Case {
        std::string bytes;
        std::wstring read;  // empty: the file is malformed
        int nAt = 0;        // the failure's column, counted from the first character of bytes
    };
    const std::string run =
        "\xE7\xAE\xA1\xE9\x81\x93\xE7\xAE\xA1\xE9\x81\x93\xE7\xAE\xA1\xE9\x81\x93";
    const std::wstring wrun = L"\u7BA1\u9053\u7BA1\u9053\u7BA1\u9053";
    const Case cases[] = {
        {"\xE7\xAE\xA1\xE9\x81\x93", L"\u7BA1\u9053"},
        {"\xC3\xA4", L"\u00E4"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"\xEF\xBF\xBD", L"\uFFFD"},
        {"&#x7BA1;", L"\u7BA1"},
        {"\r\n", L" "},
        {"\xE7\xAE", L""},      // cut short
        {"\x80", L"", -1},      // a continuation alone: placed on the character before
        {"\xC0\x80", L""},      // overlong
        {"\xED\xA0\x80", L""},  // a surrogate
        {"\xF4\x90\x80\x80", L""},
        {"\xEF\xBF\xBE", L""},  // U+FFFE
        {"\x01", L""},
        {"\x1F", L""},  // the last control character XML forbids
        {"<", L""},
        // Leads E0, ED and EF, which a run leaves to the closer look, and
        // what else ends a run.
        {run + "\xE0\xA0\x80" + run, wrun + L"\u0800" + wrun},
        {run + "\xED\x9F\xBF" + run, wrun + L"\uD7FF" + wrun},
        {run + "\xEF\xBF\xBD" + run, wrun + L"\uFFFD" + wrun},
        {run + "\xEE\x80\x80" + run, wrun + L"\uE000" + wrun},
        {run + "\xC3\xA4" + run, wrun + L"\u00E4" + wrun},
        {run + "\xF0\x9F\x98\x80" + run, wrun + L"\U0001F600" + wrun},
        {run + "x\t" + run, wrun + L"x " + wrun},
        {run + "\xE0\x9F\xBF" + run, L"", 6},  // overlong
        {run + "\xED\xA0\x80" + run, L"", 6},
        {run + "\xEF\xBF\xBF" + run, L"", 6},  // U+FFFF
        {run + "\xE7\xAE" + run, L"", 6},
        {run + "\xE7\xAE\x41" + run, L"", 6},
        {run + "\x01" + run, L"", 6},
    };
    const Library lib = Library::NodeDetail();
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const std::string head = "<NodeDetailResData><NodeDetailResDataRow DisplayName=\"";
    for (const Case& c : cases) {
        for (size_t nBefore = 0; nBefore < 80; ++nBefore) {
            const std::string before(nBefore, 'x'),
                after(nBefore % 2 * 300 + nBefore * 7 % 23, 'y');
            zktest::WriteBytes(lib.file, head + before + c.bytes + after +
                                             "\" Description=\"d\"/></NodeDetailResData>");
            const bool bRead = lib.load();
            const ZkReport& report = pMgr->GetLastReport();
            const std::string where =
                std::to_string(&c - cases) + " after " + std::to_string(nBefore);
            ASSERT_EQ(!c.read.empty(), bRead) << where;
            if (!bRead) {
                ASSERT_EQ(ZkOutcome::kMalformed, report.eOutcome) << where;
                ASSERT_EQ(static_cast<int>(head.size() + nBefore) + 1 + c.nAt, report.nColumn)
                    << where;
                continue;
            }
            std::vector<NodeDetailResData> rows;
            pMgr->GetVecNodeDetailResData(rows);
            ASSERT_EQ(1u, rows.size());
            const std::wstring expected = std::wstring(before.begin(), before.end()) + c.read +
                                          std::wstring(after.begin(), after.end());
            ASSERT_TRUE(rows[0].GetDisplayName() == CString(expected.c_str())) << where;
        }
    }
}

namespace {

// The records written through a root exchange opened with the public
// constructor and saved with SaveToFile: as the library's Save writes them,
// or with every row section opened first and the rows written last to first.
template <typename Record>
std::string ThroughTheExchange(const wchar_t* pszRoot, const wchar_t* pszRow,
                               std::vector<Record>& records, bool bRowsFirst,
                               ZkDiag::Capture& capture)
{
    const std::wstring path = zktest::DataDirectory() + L"exchange.xml";
    CXTPPropExchange px(0, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, &capture);
    px.SetCompactMode(1);
    px.EmptySection();
    CXTPPropExchangeEnumerator items = px.GetEnumerator(pszRow);
    POSITION pos = items.GetPosition(0, 1);
    std::vector<CXTPPropExchange> rows;
    rows.reserve(records.size());
    for (Record& record : records) {
        rows.push_back(items.GetNext(pos));
        if (!bRowsFirst)
            record.DoPropExchange(&rows.back());
    }
    for (size_t i = records.size(); bRowsFirst && i-- > 0;)
        records[i].DoPropExchange(&rows[i]);
    EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    return zktest::ReadBytes(zktest::Native(path));
}

// The warnings of a save as the public report gives them, and as the
// capture holds them.
std::vector<std::wstring> Warnings(const ZkReport& report)
{
    std::vector<std::wstring> out;
    for (const ZkWarning& w : report.vecWarning)
        out.push_back(std::to_wstring(w.nLine) + L":" + std::to_wstring(w.nColumn) + L" " +
                      w.strSection.GetString() + L"." + w.strProperty.GetString() + L" " +
                      w.strText.GetString());
    return out;
}

std::vector<std::wstring> Warnings(const ZkDiag::Capture& capture)
{
    ZkReport report;
    capture.Explain(L"", report);
    return Warnings(report);
}

}  // namespace

// The library's Save streams its records straight to the file; a caller's
// exchange holds the document and writes it when saved. The same records give
// the same bytes and the same warnings, placed in the file, either way and in
// whichever order the rows are written: texts needing escapes,
// TAB, CR and LF, characters beyond ASCII and beyond the BMP, characters
// written as U+FFFD, empty texts, rows without connectors, an empty group and
// empty libraries.
TEST_F(ExchangeTest, TheExchangeWritesTheBytesTheLibrarysSaveStreams)
{
    const std::vector<std::wstring> texts = {L"",
                                             L"<a & \"b\" 'c'> ]]>",
                                             L"\t\n\r\r\n",
                                             L"节点图 \U0001F600",
                                             {L'a', 0x01, L'b'},
                                             {0xD800, L'z'},
                                             {L'x', 0xFFFE},
                                             L"  "};
    CNodeDetailResDataManager* pNode = ZkNodeDetailResDataManager();
    const Library nodeDetail = Library::NodeDetail();
    std::filesystem::create_directories(nodeDetail.file.parent_path());
    for (size_t nRows : {texts.size(), size_t{0}}) {
        std::vector<NodeDetailResData> rows;
        for (size_t i = 0; i < nRows; ++i) {
            NodeDetailResData r;
            r.SetGuid(texts[i].c_str());
            r.SetDisplayName((texts[i] + L"x").c_str());
            r.SetDescription(texts[(i + 3) % texts.size()].c_str());
            rows.push_back(r);
        }
        pNode->SetVecNodeDetailResData(rows);
        ASSERT_TRUE(nodeDetail.save());
        for (bool bRowsFirst : {false, true}) {
            ZkDiag::Capture capture;
            EXPECT_EQ(zktest::ReadBytes(nodeDetail.file),
                      ThroughTheExchange(L"NodeDetailResData", L"NodeDetailResDataRow", rows,
                                         bRowsFirst, capture))
                << nRows << bRowsFirst;
            EXPECT_EQ(Warnings(pNode->GetLastReport()), Warnings(capture)) << nRows;
            EXPECT_EQ(nRows == 0 ? 0u : 9u, capture.warnings.size());  // three texts, thrice
        }
    }

    CFitDataManager* pFit = ZkFitDataManager();
    const Library fitting = Library::Fitting();
    std::filesystem::create_directories(fitting.file.parent_path());
    for (bool bEmpty : {false, true}) {
        std::filesystem::remove(fitting.file);
        pFit->Update();
        if (!bEmpty) {
            ConnectorData con;
            con.SetPos(stu3Value(0.1, -2, 1e300));
            con.SetAngle(-90);
            con.SetIndex(2);
            con.SetConType(static_cast<Pipe::ConnectionType>(5));
            FittingData a, b, c, gone;
            a.SetFitType(static_cast<NodeDetailEx::FittingType>(3));
            b.SetFitType(a.GetFitType());
            c.SetFitType(static_cast<NodeDetailEx::FittingType>(5));
            gone.SetFitType(static_cast<NodeDetailEx::FittingType>(7));
            a.SetDisplayName(texts[1].c_str());
            a.SetDescription(texts[4].c_str());
            a.SetBlockName(texts[3].c_str());
            a.SetGUID(texts[2].c_str());
            a.SetScale(0.25);
            a.SetDirection(stu3Value(0, 0, -1));
            a.SetConnector({con, ConnectorData(), con});
            b.SetDisplayName(texts[5].c_str());
            c.SetDisplayName(texts[6].c_str());
            c.SetConnector({con});
            for (const FittingData* f : {&b, &a, &c, &gone})
                ASSERT_TRUE(pFit->AddFit(*f));
            ASSERT_TRUE(pFit->DelFit(2, 0));
        }
        std::vector<FittingInfo> groups;
        pFit->GetVecFitInfo(groups);
        ASSERT_EQ(bEmpty ? 0u : 3u, groups.size());
        ASSERT_TRUE(fitting.save());
        for (bool bRowsFirst : {false, true}) {
            ZkDiag::Capture capture;
            EXPECT_EQ(zktest::ReadBytes(fitting.file),
                      ThroughTheExchange(L"FitData", L"FitInfo", groups, bRowsFirst, capture))
                << bEmpty << bRowsFirst;
            EXPECT_EQ(Warnings(pFit->GetLastReport()), Warnings(capture)) << bEmpty;
            EXPECT_EQ(bEmpty ? 0u : 3u, capture.warnings.size());
        }
    }
}

// Only the library's Save streams: a call the stream could not take where the
// document wants it makes the save fail, and the file stays as it was.
TEST_F(ExchangeTest, AStreamedSaveFailsOnACallOutOfOrder)
{
    struct Case {
        const char* what;
        bool bInOrder;
        std::function<void(CXTPPropExchange&)> write;
    };
    auto put = [](CXTPPropExchange& px, const wchar_t* pszName) {
        CString value = L"v";
        px.PX_String(pszName, value);
    };
    const Case cases[] = {
        {"in document order", true,
         [&](CXTPPropExchange& px) {
             put(px, L"P");
             CXTPPropExchange a = px.GetSection(L"A");
             put(a, L"Q");
             CXTPPropExchange b = px.GetSection(L"B");
             b.EmptySection();
             CXTPPropExchangeEnumerator items = b.GetEnumerator(L"I");
             POSITION pos = items.GetPosition(0, 1);
             for (int i = 0; i < 2; ++i) {
                 CXTPPropExchange item = items.GetNext(pos);
                 put(item, L"R");
                 b.AfterItem(&item);
             }
         }},
        {"a property after a child section", false,
         [&](CXTPPropExchange& px) {
             px.GetSection(L"A");
             put(px, L"P");
         }},
        {"into an earlier sibling", false,
         [&](CXTPPropExchange& px) {
             CXTPPropExchange a = px.GetSection(L"A");
             px.GetSection(L"B");
             put(a, L"P");
         }},
        {"a section asked for again", false,
         [&](CXTPPropExchange& px) {
             px.GetSection(L"A");
             px.GetSection(L"A");
         }},
        {"a section named as an item", false,
         [&](CXTPPropExchange& px) {
             CXTPPropExchangeEnumerator items = px.GetEnumerator(L"I");
             POSITION pos = items.GetPosition(0, 1);
             items.GetNext(pos);
             px.GetSection(L"I");
         }},
        {"emptying what holds a value", false,
         [&](CXTPPropExchange& px) {
             put(px, L"P");
             px.EmptySection();
         }},
        {"a property as an element", false,
         [&](CXTPPropExchange& px) {
             px.SetCompactMode(0);
             put(px, L"P");
         }},
    };
    const std::wstring path = zktest::DataDirectory() + L"streamed.xml";
    for (const Case& c : cases) {
        zktest::WriteBytes(zktest::Native(path), "<Doc />");
        ZkDiag::Capture capture;
        {
            CXTPPropExchange px(0, nullptr, L"Doc");
            ZkExchangeAccess::SetCapture(px, &capture);
            ZkExchangeAccess::StreamTo(px, path.c_str());
            px.SetCompactMode(1);
            c.write(px);
            EXPECT_EQ(c.bInOrder ? 0 : 1, px.SaveToFile(path.c_str(), 1)) << c.what;
        }
        EXPECT_EQ(c.bInOrder ? ZkOutcome::kDone : ZkOutcome::kSystemError, capture.outcome)
            << c.what;
        EXPECT_EQ(c.bInOrder, zktest::ReadBytes(zktest::Native(path)) != "<Doc />") << c.what;
        EXPECT_TRUE(zktest::FolderEntries(zktest::NativeDataDirectory()).size() == 1) << c.what;
    }
}

namespace {

// Bytes of a file in UTF-16 or UTF-32 (width 2 or 4), with its byte-order mark.
std::string WideFile(const std::vector<unsigned long>& units, size_t width, bool bBigEndian)
{
    std::string bytes;
    for (unsigned long u : units)
        for (size_t b = 0; b < width; ++b)
            bytes.push_back(static_cast<char>(u >> (8 * (bBigEndian ? width - 1 - b : b))));
    return bytes;
}

std::string Decoded(const std::string& bytes, bool& bOk, size_t& nWarnings)
{
    ZkXmlDecoder::DecodedText text;
    ZkDiag::Capture capture;
    bOk = ZkXmlDecoder::Decode(ZkFileSystem::Bytes(bytes.begin(), bytes.end()), text, &capture);
    nWarnings = capture.warnings.size();
    return bOk ? std::string(text.Data(), text.Size()) : std::string();
}

}  // namespace

// Characters at the edges of UTF-8's and UTF-16's forms, and sequences that
// are none, through every conversion: UTF-8 to units (as text and as a parsed
// value), the check of a file's UTF-8, one code point each way, the
// platform's wide text to units, and units to UTF-8 (as text, and as a file
// in UTF-16 or UTF-32 of either byte order). Long for its table.
TEST(UnicodeTest, EveryConversionAgreesAtTheEdges)
{
    using ZkText::Utf8Fault;
    const wchar_t R = 0xFFFD;
    struct Row {
        std::string utf8;
        std::wstring units;  // what the bytes read as
        Utf8Fault fault;     // as a file's text
    };
    const Row rows[] = {
        {"\x7F", {0x7F}, Utf8Fault::kNone},
        {"\xC2\x80", {0x80}, Utf8Fault::kNone},
        {"\xDF\xBF", {0x7FF}, Utf8Fault::kNone},
        {"\xE0\xA0\x80", {0x800}, Utf8Fault::kNone},
        {"\xED\x9F\xBF", {0xD7FF}, Utf8Fault::kNone},
        {"\xEE\x80\x80", {0xE000}, Utf8Fault::kNone},
        {"\xEF\xBF\xBD", {R}, Utf8Fault::kNone},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}, Utf8Fault::kNone},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}, Utf8Fault::kNone},
        {"\x01", {0x01}, Utf8Fault::kForbidden},
        {"\xEF\xBF\xBE", {0xFFFE}, Utf8Fault::kForbidden},
        {"\xEF\xBF\xBF", {0xFFFF}, Utf8Fault::kForbidden},
        // No UTF-8: U+FFFD for each byte.
        {"\x80", {R}, Utf8Fault::kInvalid},                       // a continuation alone
        {"\xC0\x80", {R, R}, Utf8Fault::kInvalid},                // overlong
        {"\xE0\x9F\xBF", {R, R, R}, Utf8Fault::kInvalid},         // overlong
        {"\xF0\x8F\xBF\xBF", {R, R, R, R}, Utf8Fault::kInvalid},  // overlong
        {"\xED\xA0\x80", {R, R, R}, Utf8Fault::kInvalid},         // a surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}, Utf8Fault::kInvalid},  // beyond U+10FFFF
        {"\xE7\xAE", {R, R}, Utf8Fault::kInvalid},                // cut short
        {"\xF5\x80", {R, R}, Utf8Fault::kInvalid},
    };
    for (const Row& r : rows) {
        const std::string at = ZkText::Utf16ToUtf8(r.units.data(), r.units.size());
        const auto* s = reinterpret_cast<const unsigned char*>(r.utf8.data());
        const size_t n = r.utf8.size();
        EXPECT_EQ(r.units, ZkText::Utf8ToUtf16(r.utf8.data(), n)) << at;
        // In a parsed value the characters XML forbids come from references.
        std::wstring parsed;
        ZkText::AssignUtf8(parsed, r.utf8.data(), n);
        EXPECT_EQ(r.fault == Utf8Fault::kForbidden ? std::wstring(1, R) : r.units, parsed) << at;
        Utf8Fault fault = Utf8Fault::kNone;
        EXPECT_EQ(r.fault == Utf8Fault::kNone ? n : 0,
                  ZkText::ValidXmlUtf8(r.utf8.data(), n, fault));
        EXPECT_EQ(r.fault, fault) << at;
        size_t len = 0;
        const unsigned long c = ZkText::DecodeUtf8(s, n, len);
        if (r.fault == Utf8Fault::kInvalid) {
            EXPECT_TRUE(c == ZkText::kNotUtf8 && len == 1) << at;
            continue;
        }
        EXPECT_EQ(n, len) << at;
        char bytes[4];
        wchar_t units[2];
        EXPECT_EQ(r.utf8, std::string(bytes, ZkText::EncodeUtf8(bytes, c))) << at;
        EXPECT_EQ(r.units, std::wstring(units, ZkText::EncodeUtf16(units, c))) << at;
        EXPECT_EQ(r.utf8, at);
        std::wstring wide =
            sizeof(wchar_t) == 4 ? std::wstring(1, static_cast<wchar_t>(c)) : r.units;
        std::wstring fromWide;
        ZkText::AppendUnits(fromWide, wide.data(), wide.size());
        EXPECT_EQ(r.units, fromWide) << at;
        for (const bool bBig : {false, true}) {
            bool bOk = false;
            size_t nWarnings = 0;
            std::vector<unsigned long> units16(r.units.begin(), r.units.end());
            units16.insert(units16.begin(), 0xFEFF);
            EXPECT_EQ(r.utf8, Decoded(WideFile(units16, 2, bBig), bOk, nWarnings)) << at;
            EXPECT_EQ(r.utf8, Decoded(WideFile({0xFEFF, c}, 4, bBig), bOk, nWarnings)) << at;
        }
    }
    if (sizeof(wchar_t) == 4) {
        const wchar_t beyond[] = {static_cast<wchar_t>(0x110000)};
        std::wstring units;
        ZkText::AppendUnits(units, beyond, 1);
        EXPECT_EQ(std::wstring(1, R), units);
    }
    // Lone surrogates: U+FFFD from units, recorded when a file holds them in
    // UTF-16; malformed in UTF-32.
    const std::wstring lone[] = {
        {0xD800}, {0xDC00}, {0xDC00, 0xD800}, {0xD800, L'x'}, {L'x', 0xDBFF}};
    for (const std::wstring& units : lone) {
        std::string utf8;
        for (const wchar_t u : units)
            utf8 += u == L'x' ? "x" : "\xEF\xBF\xBD";
        EXPECT_EQ(utf8, ZkText::Utf16ToUtf8(units.data(), units.size()));
        std::vector<unsigned long> file(units.begin(), units.end());
        file.insert(file.begin(), 0xFEFF);
        bool bOk = false;
        size_t nWarnings = 0;
        EXPECT_EQ(utf8, Decoded(WideFile(file, 2, true), bOk, nWarnings));
        EXPECT_EQ(utf8.size() / 3, nWarnings);
        Decoded(WideFile(file, 4, false), bOk, nWarnings);
        EXPECT_FALSE(bOk);
    }
}
