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
    CString tag;  // in a nested section
};

void Exchange(CXTPPropExchange& px, Row& r)
{
    px.PX_String(L"Text", r.text);
    px.PX_Double(L"Real", r.real);
    px.PX_Int(L"Int", r.integer);
    px.GetSection(L"Nested")->PX_String(L"Tag", r.tag);
}

}  // namespace

// Every type, in both modes, under folders with Chinese names; reals come
// back bit for bit.
TEST(PropExchangeTest, EveryPropertyTypeRoundTripsInBothModes)
{
    TempDir dir;
    const std::wstring folder = dir.lib() + L"Data\\节点图\\成果库\\";
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
            auto items = px.GetEnumerator(L"Row");
            POSITION pos = items->GetPosition(0, 1);
            for (Row& r : nLoading != 0 ? back : rows) {
                ASSERT_NE(nullptr, pos) << mode;
                auto item = items->GetNext(pos);
                EXPECT_EQ(nLoading, item->IsLoading());
                Exchange(*item, r);
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
            EXPECT_EQ(0, rows[i].text.Compare(back[i].text)) << mode << " row " << i;
            EXPECT_EQ(0, rows[i].tag.Compare(back[i].tag)) << mode << " row " << i;
            EXPECT_EQ(rows[i].integer, back[i].integer) << mode << " row " << i;
            if (std::isnan(rows[i].real))
                EXPECT_TRUE(std::isnan(back[i].real)) << mode;
            else
                EXPECT_EQ(0, std::memcmp(&rows[i].real, &back[i].real, sizeof(double))) << i;
        }
    }
}

// Numbers that do not read, absent properties and absent sections leave the
// field as it was and report 0.
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
    Row first{L"keep", -1, -1, L"keep"};
    Exchange(*items->GetNext(pos), first);
    EXPECT_TRUE(first.text == L"attr" && first.real == 2.5 && first.integer == 5);
    auto item = items->GetNext(pos);
    EXPECT_EQ(nullptr, pos);
    Row second{L"keep", -1, -1, L"keep"};
    EXPECT_EQ(0, item->PX_Int(L"Int", second.integer) + item->PX_Double(L"Real", second.real) +
                     item->PX_String(L"Absent", second.text) +
                     item->GetSection(L"Nested")->PX_String(L"Tag", second.tag));
    EXPECT_TRUE(second.text == L"keep" && second.real == -1 && second.integer == -1);
    EXPECT_STREQ(L"keep", second.tag);
    EXPECT_EQ(1, item->PX_String(L"Text", second.text));
    EXPECT_STREQ(L"child", second.text);
    EXPECT_EQ(nullptr, item->GetSection(L"vecConnector")->GetEnumerator(L"C")->GetPosition(0, 1));
}

// UTF-16, damaged and missing library files are in the bad-input corpus.
TEST(PropExchangeTest, Utf8BomAndOtherRoots)
{
    TempDir dir;
    zktest::WriteBytes(dir.path() / "bad.xml", "<Lib><Row Text=\"x\"></Lib>");
    zktest::WriteBytes(dir.path() / "other.xml", "<Other><Row Text=\"x\"/></Other>");
    zktest::WriteBytes(dir.path() / "bom.xml",
                       "\xEF\xBB\xBF<Lib><Row Text=\"\xE7\xAE\xA1\xE4\xBB\xB6\"/></Lib>");
    CXTPPropExchange bad(1, nullptr, L"Lib"), other(1, nullptr, L"Lib"), px(1, nullptr, L"Lib");
    EXPECT_EQ(0, bad.LoadFromFile((dir.lib() + L"bad.xml").c_str()));
    EXPECT_EQ(0, bad.IsRootSectionPresent());
    EXPECT_EQ(1, other.LoadFromFile((dir.lib() + L"other.xml").c_str()));
    EXPECT_EQ(0, other.IsRootSectionPresent());
    ASSERT_EQ(1, px.LoadFromFile((dir.lib() + L"bom.xml").c_str()));
    ASSERT_EQ(1, px.IsRootSectionPresent());
    auto items = px.GetEnumerator(L"Row");
    POSITION pos = items->GetPosition(0, 1);
    CString value;
    ASSERT_NE(nullptr, pos);
    EXPECT_EQ(1, items->GetNext(pos)->PX_String(L"Text", value));
    EXPECT_STREQ(L"管件", value);
}
