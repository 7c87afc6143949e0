#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

namespace fs = std::filesystem;

namespace {

CNodeDetailResDataManager* Mgr()
{
    return ZkNodeDetailResDataManager();
}

fs::path ResourceFolder()
{
    return zktest::Native(std::wstring(Mgr()->GetFileName().GetString())).parent_path();
}

fs::path FileOf(const CString& guid, const wchar_t* ext)
{
    const std::wstring folder = zktest::DataDirectory() +
                                L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u6210\u679C\u5E93\\";
    return zktest::Native(folder + guid.GetString() + ext);
}

NodeDetailResData Rec(const wchar_t* pszGuid, const wchar_t* pszName)
{
    NodeDetailResData data;
    data.SetGuid(pszGuid);
    data.SetDisplayName(pszName);
    data.SetDescription(L"desc");
    return data;
}

std::vector<NodeDetailResData> List()
{
    std::vector<NodeDetailResData> v;
    Mgr()->GetVecNodeDetailResData(v);
    return v;
}

std::vector<std::wstring> Names()
{
    std::vector<std::wstring> names;
    for (const NodeDetailResData& d : List())
        names.emplace_back(d.GetDisplayName().GetString());
    return names;
}

std::set<fs::path> FolderContent()
{
    std::set<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ResourceFolder(), ec))
        files.insert(e.path());
    return files;
}

class NodeDetailCopyTest : public testing::Test {
protected:
    void SetUp() override
    {
        zktest::ResetDataDirectory();
        Mgr()->SetVecNodeDetailResData({});
    }
};

}  // namespace

TEST_F(NodeDetailCopyTest, CopiesRecordAndBothFiles)
{
    NodeDetailResData pump = Rec(L"{src-guid}", L"Pump");
    pump.SetCheck(true);
    Mgr()->SetVecNodeDetailResData({pump});
    zktest::WriteBytes(FileOf(L"{src-guid}", L".dwg"), "drawing");
    zktest::WriteBytes(FileOf(L"{src-guid}", L".sld"), "slide");

    EXPECT_EQ(1, Mgr()->CopyNode(0));
    EXPECT_TRUE(Mgr()->DataChanged());
    std::vector<NodeDetailResData> v = List();
    ASSERT_EQ(2u, v.size());
    EXPECT_EQ(CString(L"Pump(1)"), v[0].GetDisplayName());
    EXPECT_EQ(CString(L"desc"), v[0].GetDescription());
    EXPECT_TRUE(v[0].GetCheck());
    EXPECT_EQ(36, v[0].GetGuid().GetLength());
    EXPECT_EQ(CString(L"{src-guid}"), v[1].GetGuid());
    EXPECT_EQ(CString(L"Pump"), v[1].GetDisplayName());
    EXPECT_EQ("drawing", zktest::ReadBytes(FileOf(v[0].GetGuid(), L".dwg")));
    EXPECT_EQ("slide", zktest::ReadBytes(FileOf(v[0].GetGuid(), L".sld")));

    // A second copy of the source gets its own name and GUID.
    EXPECT_EQ(1, Mgr()->CopyNode(L"pump"));
    v = List();
    ASSERT_EQ(3u, v.size());
    EXPECT_EQ(CString(L"Pump(2)"), v[1].GetDisplayName());
    EXPECT_NE(v[0].GetGuid(), v[1].GetGuid());
    EXPECT_EQ(CString(L"{src-guid}"), v[2].GetGuid());
    EXPECT_EQ(6u, FolderContent().size());
}

TEST_F(NodeDetailCopyTest, FirstFreeNameIgnoringCase)
{
    struct Case {
        std::vector<const wchar_t*> names;
        int source;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {{L"PUMP(1)", L"Pump"}, 1, {L"PUMP(1)", L"Pump(2)", L"Pump"}},
        {{L"Pump(2)", L"Pump", L"pump(1)"}, 1, {L"Pump(2)", L"Pump(3)", L"Pump", L"pump(1)"}},
        {{L"Pump(1)", L"Pump"}, 0, {L"Pump(1)(1)", L"Pump(1)", L"Pump"}},
        {{L"a", L"Pump(3)", L"Pump"}, 2, {L"a", L"Pump(3)", L"Pump(1)", L"Pump"}},
    };
    for (const Case& c : cases) {
        std::vector<NodeDetailResData> v;
        for (const wchar_t* n : c.names)
            v.push_back(Rec(L"g", n));
        Mgr()->SetVecNodeDetailResData(v);
        EXPECT_EQ(0, Mgr()->CopyNode(c.source));  // no files to copy
        EXPECT_EQ(c.expected, Names());
    }

    // By name: the stored spelling is the base, the copy goes at the source's place.
    Mgr()->SetVecNodeDetailResData({Rec(L"g1", L"x"), Rec(L"g2", L"Pump"), Rec(L"g3", L"pump")});
    Mgr()->CopyNode(L"PUMP");
    EXPECT_EQ((std::vector<std::wstring>{L"x", L"Pump(1)", L"Pump", L"pump"}), Names());
}

TEST_F(NodeDetailCopyTest, OneMissingFileStillAddsTheRecord)
{
    Mgr()->SetVecNodeDetailResData({Rec(L"abc", L"Pump")});
    zktest::WriteBytes(FileOf(L"abc", L".sld"), "slide");

    EXPECT_EQ(0, Mgr()->CopyNode(0));
    std::vector<NodeDetailResData> v = List();
    ASSERT_EQ(2u, v.size());
    EXPECT_EQ(CString(L"Pump(1)"), v[0].GetDisplayName());
    EXPECT_FALSE(fs::exists(FileOf(v[0].GetGuid(), L".dwg")));
    EXPECT_EQ("slide", zktest::ReadBytes(FileOf(v[0].GetGuid(), L".sld")));

    // The drawing alone: the slide copy is still attempted and fails.
    fs::remove(FileOf(L"abc", L".sld"));
    zktest::WriteBytes(FileOf(L"abc", L".dwg"), "drawing");
    EXPECT_EQ(0, Mgr()->CopyNode(L"Pump"));
    v = List();
    ASSERT_EQ(3u, v.size());
    EXPECT_EQ("drawing", zktest::ReadBytes(FileOf(v[1].GetGuid(), L".dwg")));
    EXPECT_FALSE(fs::exists(FileOf(v[1].GetGuid(), L".sld")));
}

TEST_F(NodeDetailCopyTest, NoSourceChangesNothing)
{
    Mgr()->SetVecNodeDetailResData({Rec(L"abc", L"Pump")});
    zktest::WriteBytes(FileOf(L"abc", L".dwg"), "drawing");
    zktest::WriteBytes(FileOf(L"abc", L".sld"), "slide");
    const std::set<fs::path> before = FolderContent();

    EXPECT_EQ(0, Mgr()->CopyNode(-1));
    EXPECT_EQ(0, Mgr()->CopyNode(1));
    EXPECT_EQ(0, Mgr()->CopyNode(L"Pum"));
    EXPECT_EQ(0, Mgr()->CopyNode(L""));
    EXPECT_EQ((std::vector<std::wstring>{L"Pump"}), Names());
    EXPECT_EQ(before, FolderContent());
}
