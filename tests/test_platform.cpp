// The platform layer through its public interface: the wide string, the host
// services, the path helpers and the XML property exchange.

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/NamedValue.h"
#include "platform/ZkCompiler.h"
#include "platform/ZkTextPosition.h"

TEST(CStringTest, NullConcatenationFindAndDelete)
{
    const wchar_t* none = nullptr;
    CString s(none);
    EXPECT_TRUE(s.IsEmpty() && s.Compare(none) == 0);
    s = L"Data\\";
    s += L"节点图";
    s += none;
    EXPECT_STREQ(L"Data\\节点图\\x.xml", s + L"\\" + CString(L"x.xml"));
    s = L"Pump(1)(1)";
    EXPECT_EQ((std::vector<int>{4, 7, 0, -1, -1}),
              (std::vector<int>{s.Find(L"("), s.Find(L"(", 5), s.Find(L""), s.Find(L"pump"),
                                s.Find(L"(", 99)}));
    EXPECT_EQ(7, s.Delete(4, 3));
    EXPECT_STREQ(L"Pump(1)", s);
    EXPECT_EQ(7, s.Delete(50, 2));
    EXPECT_EQ(4, s.Delete(4, 100));
    EXPECT_STREQ(L"Pump", s);
    s.Empty();
    EXPECT_EQ(0, s.GetLength());
}

TEST(CStringTest, OrdinalByUtf16UnitAndNoCaseFoldingAsciiOnly)
{
    // a, b, and the signs of a.Compare(b) and a.CompareNoCase(b).
    const std::tuple<const wchar_t*, const wchar_t*, int, int> cases[] = {
        {L"\U00010000", L"\uFFFF", -1, -1},  // D800 DC00 below FFFF, unlike UTF-32
        {L"B", L"a", -1, 1},
        {L"abc", L"abcd", -1, -1},
        {L"中文", L"中文", 0, 0},
        {L"Tee-1", L"tEE-1", -1, 0},
        {L"\u00C9", L"\u00E9", -1, -1},
        {L"_", L"a", -1, -1},  // '_' lies between 'Z' and 'a': folded to lower case
        {L"_", L"A", 1, -1},
    };
    auto sign = [](int n) { return (n > 0) - (n < 0); };
    for (const auto& [pa, pb, nCompare, nNoCase] : cases) {
        const CString a(pa), b(pb);
        EXPECT_EQ((std::vector<int>{nCompare, -nCompare, nNoCase, -nNoCase}),
                  (std::vector<int>{sign(a.Compare(b)), sign(b.Compare(a)),
                                    sign(a.CompareNoCase(b)), sign(b.CompareNoCase(a))}))
            << testing::PrintToString(std::wstring(pa));
        // The operators order texts as Compare does, with either side a
        // wide pointer too: never by address.
        EXPECT_EQ((std::vector<bool>{nCompare<0, nCompare> 0, nCompare <= 0, nCompare >= 0,
                                     nCompare<0, nCompare> 0}),
                  (std::vector<bool>{a<b, a> b, a <= b, a >= b, a<pb, pa> b}))
            << testing::PrintToString(std::wstring(pa));
    }
    EXPECT_EQ(2, CString(L"\U00010000").GetLength());
    EXPECT_EQ(0, CString(L"").CompareNoCase(static_cast<const wchar_t*>(nullptr)));
}

TEST(CStringTest, FormatConversions)
{
    CString s;
    s.Format(L"%s(%d)", L"节点", 12);
    EXPECT_STREQ(L"节点(12)", s);
    s.Format(L"%08X-%04X-%02X%02x", 0x1u, 0xABCu, 0xFu, 0xAu);
    EXPECT_STREQ(L"00000001-0ABC-0F0a", s);
    s.Format(L"[%5s|%-3d|%%|%.2f|%c]", L"ab", -7, 0.125, L'Z');
    EXPECT_STREQ(L"[   ab|-7 |%|0.12|Z]", s);
    s.Format(L"%s", static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(L"(null)", s);
    s.Format(L"%s", L"\U0001F600");
    EXPECT_EQ(2, s.GetLength());
}

TEST(HostServicesTest, NumericAndThreeValueText)
{
    for (const wchar_t* yes : {L"0", L"01", L"123456789012345678901234567890", L"1.5", L"-2"})
        EXPECT_TRUE(ZkIsNumericText(yes)) << yes;
    for (const wchar_t* no : {L"", L"a", L"-", L".", L"1a", L"中", L" 1", L"1e5"})
        EXPECT_FALSE(ZkIsNumericText(no)) << no;

    const double reals[] = {0.1,     1e-300,  -0.0,      4.9406564584124654e-324,
                            DBL_MAX, DBL_MIN, 1.0 / 3.0, 123456789.123456789};
    for (const double d : reals) {
        const stu3Value v(d, -d, d * 7);
        stu3Value back(7, 7, 7);
        ZkTextToU3Value(ZkU3ValueToText(v), back);
        EXPECT_EQ(0, std::memcmp(&v, &back, sizeof v)) << d;
    }
    const std::wstring longPart = L"1,2," + std::wstring(127, L'3');  // the longest part read
    for (const std::wstring& bad : std::vector<std::wstring>{
             L"", L"1,2", L"1,2,3,4", L"1,x,3", L"1,,3", L"a", L"1,2,+ 3", longPart + L"3"}) {
        stu3Value v(7, 8, 9);
        ZkTextToU3Value(bad.c_str(), v);
        EXPECT_TRUE(v.x == 7 && v.y == 8 && v.z == 9) << testing::PrintToString(bad);
    }
    // C white space around each part; a sign may follow a plus.
    stu3Value v;
    ZkTextToU3Value((L"\v+-1 , +2\f," + longPart.substr(4)).c_str(), v);
    EXPECT_TRUE(v.x == -1 && v.y == 2 && v.z > 3e126);
}

TEST(HostServicesTest, NamedValueSet)
{
    NamedValueSet set;
    set.SetAt(L"b", NamedValue(1));
    set.SetAt(L"a", NamedValue(L"x"));
    set.SetAt(L"b", NamedValue(2.5));  // in place
    CString name;
    NamedValue value;
    ASSERT_TRUE(set.Count() == 2 && set.GetAt(0, name, value));
    EXPECT_TRUE(name == L"b" && value == NamedValue(2.5) && value != NamedValue(true));
    EXPECT_FALSE(set.GetAt(2, name, value) || set.GetAt(-1, name, value));
    EXPECT_STREQ(L"b", name);  // untouched
    set.RemoveAll();
    EXPECT_EQ(0, set.Count());
}

TEST(PathTest, LibraryAndNativeFormsConvertBothWays)
{
    EXPECT_TRUE(ZkToNativePath(nullptr).empty());
#if defined(_WIN32)
    EXPECT_EQ(L"C:\\Data\\节点图\\x.xml", ZkToNativePath(L"C:\\Data\\节点图\\x.xml"));
    EXPECT_STREQ(L"C:\\Data\\x", ZkFromNativePath(L"C:/Data\\x"));
#else
    const wchar_t units[] = {L'\\', 0x4E2D, 0xD83D, 0xDE00, 0xD800, L'x', 0};
    EXPECT_EQ("/\xE4\xB8\xAD\xF0\x9F\x98\x80\xEF\xBF\xBDx", ZkToNativePath(units));
    const CString back = ZkFromNativePath("/tmp/\xE4\xB8\xAD\xF0\x9F\x98\x80/\xFF");
    EXPECT_EQ(std::wstring({L'\\', L't', L'm', L'p', L'\\', 0x4E2D, 0xD83D, 0xDE00, L'\\', 0xFFFD}),
              std::wstring(back.GetString(), static_cast<size_t>(back.GetLength())));
#endif
}

// The bit scan every compiler has a way to do, against the plain loop that
// stands in where none is known: the lowest set bit is found whatever lies
// above it, in either half of a 64-bit word.
TEST(CompilerTest, TrailingZerosAgreeWithThePlainLoop)
{
    for (int b = 0; b < 64; ++b) {
        for (const unsigned long long above : {0ull, ~0ull, 0xA5A5A5A5A5A5A5A5ull}) {
            const unsigned long long x = (1ull << b) | (b < 63 ? above << (b + 1) : 0);
            EXPECT_EQ(b, ZkCompiler::TrailingZeros64(x)) << std::hex << x;
            EXPECT_EQ(b, ZkCompiler::TrailingZerosPortable(x)) << std::hex << x;
            if (b < 32) {
                EXPECT_EQ(b, ZkCompiler::TrailingZeros32(static_cast<unsigned>(x)))
                    << std::hex << x;
            }
        }
    }
}

namespace {

struct Row {
    CString text;
    double real = 0;
    int integer = 0;
    CString tag;  // in a nested section
};

void Exchange(CXTPPropExchange& px, Row& r)
{
    px.PX_String(L"\U0001F600\u540D", r.text);
    px.PX_Double(L"Real", r.real);
    px.PX_Int(L"Int", r.integer);
    px.GetSection(L"Nested").PX_String(L"Tag", r.tag);
}

}  // namespace

// Every type, in both modes (attributes, child elements), under folders with
// Chinese names; reals come back bit for bit. A number that does not read, an
// absent property or an absent section reports 0 and leaves the field as it
// was. Malformed files, other roots and byte-order marks are in the corpus.
TEST(PropExchangeTest, EveryPropertyTypeRoundTripsInBothModes)
{
    const std::wstring folder = zktest::DataDirectory() + L"Data\\节点图\\成果库\\";
    std::filesystem::create_directories(zktest::Native(folder));
    std::vector<Row> rows = {
        {L"节点图 管件库", 0.1, INT_MIN, L"n"},
        {L"<a & \"b\" 'c'>\n\ttab\r", 1e-300, INT_MAX, L"\u4E2D"},
        {L"", -0.0, 0, L""},
        {L"\U0001F600 emoji", DBL_MAX, -1, L" "},
        {L"   padded   ", 4.9406564584124654e-324, 42, L"x"},
        {L"inf", std::numeric_limits<double>::infinity(), 7, L"y"},
        {L"\r\n", std::nan(""), 9, L"z"},
    };
    for (int mode : {0, 1}) {
        const std::wstring path = folder + L"lib" + std::to_wstring(mode) + L".xml";
        std::vector<Row> back(rows.size(), Row{L"?", -1, -1, L"?"});
        for (int nLoading : {0, 1}) {
            CXTPPropExchange px(nLoading, nullptr, L"Lib");
            px.SetCompactMode(mode);
            ASSERT_TRUE(nLoading == 0 ||
                        (px.LoadFromFile(path.c_str()) && px.IsRootSectionPresent()));
            CXTPPropExchangeEnumerator items = px.GetEnumerator(L"Row");
            POSITION pos = items.GetPosition(0, 1);
            for (Row& r : nLoading != 0 ? back : rows) {
                ASSERT_NE(nullptr, pos) << mode;
                CXTPPropExchange item = items.GetNext(pos);
                EXPECT_EQ(nLoading, item.IsLoading());
                Exchange(item, r);
                CString notNumber = L" 12x ";
                int n = -1;
                double d = -1;
                if (nLoading == 0) {
                    EXPECT_EQ(1, item.PX_String(L"Late", notNumber));  // after a child section
                    EXPECT_EQ(1, item.GetSection(L"Bad").PX_String(L"Bad", notNumber));
                    continue;
                }
                EXPECT_EQ(
                    0,
                    item.GetSection(L"Bad").PX_Int(L"Bad", n) +
                        item.GetSection(L"Bad").PX_Double(L"Bad", d) + item.PX_Int(L"Absent", n) +
                        // U+10049 is not 'I', whatever the width of wchar_t.
                        item.PX_Int(L"\U00010049nt", n) +
                        item.PX_String(L"\U0001F600\u540E", notNumber) +
                        // The name's UTF-8 bytes read as Latin-1 are another name.
                        item.PX_String(L"\u00F0\u009F\u0098\u0080\u00E5\u0090\u008D", notNumber) +
                        item.GetSection(L"None").PX_String(L"Tag", notNumber));
                EXPECT_TRUE(n == -1 && d == -1 && notNumber == L" 12x ");
                CString late;
                EXPECT_TRUE(item.PX_String(L"Late", late) == 1 && late == L" 12x ");
                EXPECT_EQ(nullptr,
                          item.GetSection(L"None").GetEnumerator(L"Row").GetPosition(0, 1));
                EXPECT_EQ(nullptr, px.GetEnumerator(L"\U00010052ow").GetPosition(0, 1));
            }
            EXPECT_TRUE(nLoading == 0 || pos == nullptr);
            if (nLoading == 0) {
                ASSERT_EQ(0, px.SaveToFile(path.c_str(), 1));
            }
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(zktest::Native(path)));
        EXPECT_TRUE(ZkIsFileExist(path.c_str()));
        EXPECT_FALSE(ZkIsFileExist(folder.c_str()));  // a folder is not a file
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row &a = rows[i], &b = back[i];
            EXPECT_TRUE(a.text == b.text && a.tag == b.tag && a.integer == b.integer &&
                        (std::isnan(a.real) ? std::isnan(b.real)
                                            : std::memcmp(&a.real, &b.real, sizeof(double)) == 0))
                << mode << " row " << i;
        }
    }
}

namespace {

const wchar_t kAbsent[] = L"(absent)";

void Put(CXTPPropExchange& px, const wchar_t* pszName, const wchar_t* pszValue)
{
    CString value(pszValue);
    EXPECT_EQ(1, px.PX_String(pszName, value)) << testing::PrintToString(std::wstring(pszName));
}

// What a read document holds at path: sections by name ("A/B"), the k-th
// item of a name ("Row#1"), then a property; "Row#" alone counts the items.
std::wstring ReadAt(CXTPPropExchange& px, const std::wstring& path)
{
    const size_t slash = path.find(L'/');
    const std::wstring head = path.substr(0, slash);
    const size_t hash = head.find(L'#');
    if (hash == std::wstring::npos && slash == std::wstring::npos) {
        CString value;
        return px.PX_String(head.c_str(), value) != 0 ? std::wstring(value) : kAbsent;
    }
    if (hash == std::wstring::npos) {
        CXTPPropExchange child = px.GetSection(head.c_str());
        return ReadAt(child, path.substr(slash + 1));
    }
    CXTPPropExchangeEnumerator items = px.GetEnumerator(head.substr(0, hash).c_str());
    POSITION pos = items.GetPosition(0, 1);
    int n = 0;
    for (; pos != nullptr; ++n) {
        CXTPPropExchange item = items.GetNext(pos);
        if (slash != std::wstring::npos && n == std::stoi(head.substr(hash + 1)))
            return ReadAt(item, path.substr(slash + 1));
    }
    return std::to_wstring(n);
}

using WriteFn = std::function<void(CXTPPropExchange& root, const std::wstring& path)>;

struct WritingOrder {
    const char* what;
    WriteFn write;
    const wchar_t* held;  // "path=value; ...", "(absent)" for a value not there
    const char* notInFile;
};

// A writing order as steps: "s=root/S/T" holds a section, asked for below
// root or below a section held before; "s.A=1" writes a property into what
// is held; "compact 1" sets the mode; "save" saves. Every section stays held
// to the end, as a caller keeps the ones it has.
WriteFn Steps(const wchar_t* pszSteps)
{
    return [steps = std::wstring(pszSteps)](CXTPPropExchange& root, const std::wstring& path) {
        std::map<std::wstring, std::unique_ptr<CXTPPropExchange>> held;
        auto at = [&](const std::wstring& name) -> CXTPPropExchange& {
            return name == L"root" ? root : *held.at(name);
        };
        std::wistringstream in(steps);
        for (std::wstring step; std::getline(in >> std::ws, step, L';');) {
            const size_t eq = step.find(L'=');
            const size_t dot = step.find(L'.');
            if (step == L"save") {
                EXPECT_EQ(0, root.SaveToFile(path.c_str(), 1));
            } else if (step.compare(0, 8, L"compact ") == 0) {
                root.SetCompactMode(std::stoi(step.substr(8)));
            } else if (dot < eq) {
                Put(at(step.substr(0, dot)), step.substr(dot + 1, eq - dot - 1).c_str(),
                    step.substr(eq + 1).c_str());
            } else {
                std::wistringstream names(step.substr(eq + 1));
                std::wstring name;
                std::getline(names, name, L'/');
                CXTPPropExchange* pFrom = &at(name);
                std::unique_ptr<CXTPPropExchange> section;
                while (std::getline(names, name, L'/')) {
                    section = std::make_unique<CXTPPropExchange>(pFrom->GetSection(name.c_str()));
                    pFrom = section.get();
                }
                held[step.substr(0, eq)] = std::move(section);
            }
        }
    };
}

}  // namespace

// Callers may write into any section they hold, in any order: every value is
// in the file, each property once with its last value, in either mode; a
// section asked for again by its name is that section, and emptying one
// takes back what it held. Long for its table: a row per order of calls.
TEST(PropExchangeTest, EveryWritingOrderStoresEveryValue)
{
    const WritingOrder orders[] = {
        {"a property after a child section", Steps(L"c=root/Child; c.A=1; root.P=late; c.B=2"),
         L"P=late; Child/A=1; Child/B=2; Child#=1", nullptr},
        {"properties after items, and into an item after the next one",
         [](CXTPPropExchange& root, const std::wstring&) {
             CXTPPropExchangeEnumerator rows = root.GetEnumerator(L"Row");
             POSITION pos = rows.GetPosition(0, 1);
             CXTPPropExchange first = rows.GetNext(pos);
             Put(first, L"A", L"r0");
             Put(root, L"P", L"after an item");
             CXTPPropExchange second = rows.GetNext(pos);
             Put(second, L"A", L"r1");
             Put(first, L"B", L"late");
             Put(root, L"Q", L"after two");
         },
         L"P=after an item; Q=after two; Row#=2; Row#0/A=r0; Row#0/B=late; Row#1/A=r1; "
         L"Row#1/B=(absent)",
         nullptr},
        {"an earlier sibling after a later one",
         Steps(L"a=root/A; b=root/B; b.X=b; a.X=a; deep=a/Deep; deep.Y=ad; b.Z=bz"),
         L"A/X=a; B/X=b; A/Deep/Y=ad; B/Z=bz", nullptr},
        {"nested sections in any order",
         Steps(L"a=root/A; b=a/B; c=b/C; c.Z=c; root.R=r; b.Y=b; a.X=a; d=root/D; d.W=d; "
               L"c.Z2=c2; again=a/B/C; again.Z3=c3; b.Y2=b2"),
         L"A/X=a; A/B/Y=b; A/B/Y2=b2; A/B/C/Z=c; A/B/C/Z2=c2; A/B/C/Z3=c3; A/B#=1; A/B/C#=1; R=r; "
         L"D/W=d",
         nullptr},
        {"a property written again: once, with the last value",
         Steps(L"root.P=first; c=root/C; c.P=c1; root.P=second; c.P=c2"), L"P=second; C/P=c2",
         "first"},
        {"a property written in both forms: once, in the last",
         Steps(L"compact 1; root.P=attribute; compact 0; root.P=element; root.Q=element; "
               L"compact 1; root.Q=attribute"),
         L"P=element; Q=attribute", "P=\""},
        {"a section asked for again by its name is that section",
         [](CXTPPropExchange& root, const std::wstring&) {
             CXTPPropExchange s = root.GetSection(L"S");
             Put(s, L"A", L"1");
             root.GetSection(L"T");
             CXTPPropExchange again = root.GetSection(L"S");
             Put(again, L"B", L"2");
             CXTPPropExchangeEnumerator rows = root.GetEnumerator(L"Row");
             POSITION pos = rows.GetPosition(0, 1);
             for (const wchar_t* value : {L"r0", L"r1"}) {
                 CXTPPropExchange row = rows.GetNext(pos);
                 Put(row, L"A", value);
             }
             CXTPPropExchange firstRow = root.GetSection(L"Row");
             Put(firstRow, L"B", L"first");
         },
         L"S#=1; S/A=1; S/B=2; T#=1; Row#=2; Row#0/B=first; Row#1/A=r1", nullptr},
        {"an emptied section holds what is written afterwards",
         [](CXTPPropExchange& root, const std::wstring&) {
             CXTPPropExchange s = root.GetSection(L"S");
             Put(root, L"P", L"kept");
             Put(s, L"A", L"old");
             CXTPPropExchange inner = s.GetSection(L"Inner");
             Put(inner, L"X", L"old");
             CXTPPropExchangeEnumerator items = s.GetEnumerator(L"I");
             POSITION pos = items.GetPosition(0, 1);
             CXTPPropExchange old = items.GetNext(pos);
             items.GetNext(pos);
             EXPECT_EQ(1, s.AfterItem(&old));
             s.EmptySection();
             CString value = L"gone";
             EXPECT_EQ(0, inner.PX_String(L"X", value));  // its section went
             Put(s, L"B", L"new");
             CXTPPropExchange item = items.GetNext(pos);
             Put(item, L"A", L"new");
             EXPECT_TRUE(s.AfterItem(&item) == 1 && s.AfterItem(&old) == 0 &&
                         root.AfterItem(&item) == 0);
         },
         L"P=kept; S/A=(absent); S/B=new; S/Inner#=0; S/I#=1; S/I#0/A=new", "old"},
        {"writing after a save", Steps(L"c=root/C; root.A=1; c.X=1; save; root.B=2; c.Y=2"),
         L"A=1; B=2; C/X=1; C/Y=2", nullptr},
        {"a property and a child section of the same name",
         Steps(L"root.S=before; s=root/S; s.A=in; t=root/T; t.A=in; root.T=after"),
         L"S=before; S/A=in; T=after; T/A=in; S#=1", nullptr},
    };
    const std::wstring path = zktest::DataDirectory() + L"order.xml";
    for (const WritingOrder& order : orders) {
        for (int mode : {0, 1}) {
            const std::string where = std::string(order.what) + ", mode " + std::to_string(mode);
            {
                CXTPPropExchange root(0, nullptr, L"Doc");
                root.SetCompactMode(mode);
                order.write(root, path);
                ASSERT_EQ(0, root.SaveToFile(path.c_str(), 1)) << where;
            }
            // A duplicated attribute would make the read fail.
            CXTPPropExchange back(1, nullptr, L"Doc");
            if (back.LoadFromFile(path.c_str()) != 1) {
                ADD_FAILURE() << where << " does not read";
                continue;
            }
            std::wistringstream held(order.held);
            for (std::wstring item; std::getline(held >> std::ws, item, L';');) {
                const size_t eq = item.find(L'=');
                EXPECT_EQ(item.substr(eq + 1), ReadAt(back, item.substr(0, eq)))
                    << where << ": " << testing::PrintToString(item);
            }
            if (order.notInFile != nullptr) {
                EXPECT_EQ(std::string::npos,
                          zktest::ReadBytes(zktest::Native(path)).find(order.notInFile))
                    << where;
            }
        }
    }
}

// Positions as the library's reports give them, for callers that parse a
// library file themselves.
TEST(LineCounterTest, PositionsOfByteOffsets)
{
    // "a\r\nb\rc\n" then "中x": a CR LF and a lone CR each end one line;
    // columns count characters, and an offset inside one is that character.
    const std::string text = "a\r\nb\rc\n\xE4\xB8\xADx";
    struct Row {
        size_t nOffset;
        unsigned long nLine, nColumn;
    };
    const Row rows[] = {{0, 1, 1}, {1, 1, 2}, {3, 2, 1},  {5, 3, 1},  {7, 4, 1},
                        {8, 4, 1}, {9, 4, 1}, {10, 4, 2}, {11, 4, 3}, {12, 0, 0}};
    ZkLineCounter forward(text.data(), text.size());
    for (const Row& row : rows) {
        const ZkTextPosition pos = forward.At(row.nOffset);
        EXPECT_EQ(pos.nLine, row.nLine) << row.nOffset;
        EXPECT_EQ(pos.nColumn, row.nColumn) << row.nOffset;
    }
    // Asking backwards gives the same answers.
    ZkLineCounter backward(text.data(), text.size());
    for (auto it = std::rbegin(rows); it != std::rend(rows); ++it) {
        const ZkTextPosition pos = backward.At(it->nOffset);
        EXPECT_EQ(pos.nLine, it->nLine) << it->nOffset;
        EXPECT_EQ(pos.nColumn, it->nColumn) << it->nOffset;
    }
}
