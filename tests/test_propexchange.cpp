#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"

using zktest::TempDir;

namespace {

struct Row {
    CString text;
    double real = 0;
    int integer = 0;
};

void Exchange(CXTPPropExchange& px, Row& r)
{
    px.PX_String(L"Text", r.text);
    px.PX_Double(L"Real", r.real);
    px.PX_Int(L"Int", r.integer);
}

// Writes rows under root "Lib" with one nested section per row, reads them back.
std::vector<Row> RoundTrip(const std::wstring& path, std::vector<Row> rows, int mode)
{
    {
        CXTPPropExchange px(0, nullptr, L"Lib");
        px.SetCompactMode(mode);
        px.EmptySection();
        auto items = px.GetEnumerator(L"Row");
        POSITION pos = items->GetPosition(0, 1);
        EXPECT_NE(nullptr, pos);
        for (Row& r : rows) {
            auto item = items->GetNext(pos);
            EXPECT_FALSE(item->IsLoading());
            Exchange(*item, r);
            auto nested = item->GetSection(L"Nested");
            CString tag(L"n");
            nested->PX_String(L"Tag", tag);
        }
        EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    }
    std::vector<Row> back;
    CXTPPropExchange px(1, nullptr, L"Lib");
    EXPECT_NE(0, px.LoadFromFile(path.c_str()));
    EXPECT_NE(0, px.IsRootSectionPresent());
    px.SetCompactMode(1);
    auto items = px.GetEnumerator(L"Row");
    POSITION pos = items->GetPosition(0, 1);
    while (pos != nullptr) {
        auto item = items->GetNext(pos);
        EXPECT_TRUE(item->IsLoading());
        Row r;
        Exchange(*item, r);
        CString tag;
        EXPECT_EQ(1, item->GetSection(L"Nested")->PX_String(L"Tag", tag));
        EXPECT_STREQ(L"n", tag);
        back.push_back(r);
    }
    return back;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(PropExchangeTest, EveryPropertyTypeRoundTripsInBothModes)
{
    TempDir dir;
    const std::vector<Row> rows = {
        {L"节点图 管件库", 0.1, INT_MIN},
        {L"<a & \"b\" 'c'>\n\ttab\r", 1e-300, INT_MAX},
        {L"", -0.0, 0},
        {L"\U0001F600 emoji", DBL_MAX, -1},
        {L"   padded   ", 4.9406564584124654e-324, 42},
        {L"inf", std::numeric_limits<double>::infinity(), 7},
        {L"  ", -1e-5, 8},
        {L"\r\n", 5e-324, 9},
    };
    for (int mode : {0, 1}) {
        const std::wstring path = dir.lib() + L"lib" + std::to_wstring(mode) + L".xml";
        const std::vector<Row> back = RoundTrip(path, rows, mode);
        ASSERT_EQ(rows.size(), back.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(0, rows[i].text.Compare(back[i].text)) << mode << " row " << i;
            EXPECT_TRUE(SameBits(rows[i].real, back[i].real)) << mode << " row " << i;
            EXPECT_EQ(rows[i].integer, back[i].integer) << mode << " row " << i;
        }
    }
}

TEST(PropExchangeTest, NanRoundTripsAsNan)
{
    TempDir dir;
    const std::vector<Row> back = RoundTrip(dir.lib() + L"nan.xml", {{L"x", std::nan(""), 1}}, 1);
    ASSERT_EQ(1u, back.size());
    EXPECT_TRUE(std::isnan(back[0].real));
}

TEST(PropExchangeTest, ReadsAttributesAndChildElementsAlikeAndMissingLeavesField)
{
    TempDir dir;
    zktest::WriteBytes(dir.path() / "hand.xml",
                       "<?xml version=\"1.0\"?>\n<Lib>"
                       "<Row Text=\"attr\" Int=\"5\"><Real> 2.5 </Real></Row>"
                       "<Row><Text>child</Text><Int>x12</Int><Real>1e400x</Real></Row>"
                       "</Lib>");
    CXTPPropExchange px(1, nullptr, L"Lib");
    ASSERT_EQ(1, px.LoadFromFile((dir.lib() + L"hand.xml").c_str()));
    auto items = px.GetEnumerator(L"Row");
    POSITION pos = items->GetPosition(0, 1);
    Row first{L"keep", -1, -1};
    Exchange(*items->GetNext(pos), first);
    EXPECT_STREQ(L"attr", first.text);
    EXPECT_EQ(2.5, first.real);
    EXPECT_EQ(5, first.integer);
    Row second{L"keep", -1, -1};
    auto item = items->GetNext(pos);
    EXPECT_EQ(nullptr, pos);
    EXPECT_EQ(0, item->PX_Int(L"Int", second.integer));
    EXPECT_EQ(0, item->PX_Double(L"Real", second.real));
    EXPECT_EQ(0, item->PX_String(L"Absent", second.text));
    EXPECT_EQ(-1, second.integer);
    EXPECT_EQ(-1, second.real);
    EXPECT_STREQ(L"keep", second.text);
    // An absent child section reads nothing and enumerates nothing.
    auto absent = item->GetSection(L"vecConnector");
    EXPECT_EQ(nullptr, absent->GetEnumerator(L"Connector")->GetPosition(0, 1));
}

TEST(PropExchangeTest, AcceptsUtf16AndUtf8WithBom)
{
    TempDir dir;
    const char16_t text[] =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Lib><Row Text=\"管件\"/></Lib>";
    std::string utf16le = "\xFF\xFE";
    for (const char16_t* p = text; *p; ++p) {
        utf16le += static_cast<char>(*p & 0xFF);
        utf16le += static_cast<char>(*p >> 8);
    }
    zktest::WriteBytes(dir.path() / "utf16.xml", utf16le);
    zktest::WriteBytes(dir.path() / "bom.xml",
                       "\xEF\xBB\xBF<Lib><Row Text=\"\xE7\xAE\xA1\xE4\xBB\xB6\"/></Lib>");
    for (const wchar_t* name : {L"utf16.xml", L"bom.xml"}) {
        CXTPPropExchange px(1, nullptr, L"Lib");
        ASSERT_EQ(1, px.LoadFromFile((dir.lib() + name).c_str())) << name;
        ASSERT_EQ(1, px.IsRootSectionPresent());
        auto items = px.GetEnumerator(L"Row");
        POSITION pos = items->GetPosition(0, 1);
        CString value;
        EXPECT_EQ(1, items->GetNext(pos)->PX_String(L"Text", value));
        EXPECT_STREQ(L"管件", value) << name;
    }
}

TEST(PropExchangeTest, MalformedMissingAndWrongRootAreReported)
{
    TempDir dir;
    zktest::WriteBytes(dir.path() / "bad.xml", "<Lib><Row Text=\"x\"></Lib>");
    zktest::WriteBytes(dir.path() / "other.xml", "<Other/>");
    zktest::WriteBytes(dir.path() / "empty.xml", "");
    for (const wchar_t* name : {L"bad.xml", L"missing.xml", L"empty.xml"}) {
        CXTPPropExchange px(1, nullptr, L"Lib");
        EXPECT_EQ(0, px.LoadFromFile((dir.lib() + name).c_str())) << name;
        EXPECT_EQ(0, px.IsRootSectionPresent()) << name;
    }
    CXTPPropExchange px(1, nullptr, L"Lib");
    EXPECT_EQ(1, px.LoadFromFile((dir.lib() + L"other.xml").c_str()));
    EXPECT_EQ(0, px.IsRootSectionPresent());
}

TEST(PropExchangeTest, FailedWriteReturnsNonZeroAndKeepsTheOldFile)
{
    TempDir dir;
    zktest::WriteBytes(dir.path() / "lib.xml", "old content");
    CXTPPropExchange px(0, nullptr, L"Lib");
    px.SetCompactMode(1);
    // Missing folder: nothing is written.
    EXPECT_NE(0, px.SaveToFile((dir.lib() + L"no\\such\\lib.xml").c_str(), 1));
    // The target is a folder: the write cannot replace it.
    std::filesystem::create_directory(dir.path() / "folder.xml");
    EXPECT_NE(0, px.SaveToFile((dir.lib() + L"folder.xml").c_str(), 1));
    EXPECT_EQ("old content", zktest::ReadBytes(dir.path() / "lib.xml"));
    EXPECT_EQ(0, px.SaveToFile((dir.lib() + L"lib.xml").c_str(), 1));
    EXPECT_NE(std::string::npos, zktest::ReadBytes(dir.path() / "lib.xml").find("<Lib"));
}

TEST(PropExchangeTest, PathsUnderChineseFoldersMapToTheFileSystem)
{
    TempDir dir;
    const std::wstring folder = dir.lib() + L"Data\\NodeDetail\\节点图\\成果库\\";
    std::filesystem::create_directories(zktest::Native(folder));
    const std::wstring path = folder + L"NodeDetailDataEx.xml";
    EXPECT_FALSE(ZkIsFileExist(path.c_str()));
    {
        CXTPPropExchange px(0, nullptr, L"NodeDetailResData");
        px.SetCompactMode(1);
        CString name(L"节点");
        auto rows = px.GetEnumerator(L"Row");
        POSITION pos = rows->GetPosition(0, 1);
        rows->GetNext(pos)->PX_String(L"DisplayName", name);
        ASSERT_EQ(0, px.SaveToFile(path.c_str(), 1));
    }
    EXPECT_TRUE(ZkIsFileExist(path.c_str()));
    EXPECT_TRUE(std::filesystem::is_regular_file(zktest::Native(path)));
    EXPECT_FALSE(ZkIsFileExist(folder.c_str()));  // a folder is not a file
    CXTPPropExchange px(1, nullptr, L"NodeDetailResData");
    EXPECT_EQ(1, px.LoadFromFile(path.c_str()));
    EXPECT_EQ(1, px.IsRootSectionPresent());
}
