#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"

namespace fs = std::filesystem;

namespace {

CNodeDetailResDataManager* Mgr()
{
    return ZkNodeDetailResDataManager();
}

fs::path LibraryFile()
{
    return zktest::Library::NodeDetail().file;
}

fs::path FileOf(const CString& guid, const wchar_t* ext)
{
    return LibraryFile().parent_path() / zktest::Native(guid.GetString() + std::wstring(ext));
}

NodeDetailResData Rec(const wchar_t* pszGuid, const wchar_t* pszName, const wchar_t* pszDesc = L"")
{
    NodeDetailResData data;
    data.SetGuid(pszGuid);
    data.SetDisplayName(pszName);
    data.SetDescription(pszDesc);
    return data;
}

std::vector<NodeDetailResData> List()
{
    std::vector<NodeDetailResData> v = {Rec(L"stale", L"stale")};  // must be replaced
    Mgr()->GetVecNodeDetailResData(v);
    return v;
}

// The list as text: per record the chosen fields (g: GUID, n: name,
// d: description, c: mark) joined by '/', records by '|'.
std::wstring Texts(const char* pszFields = "n")
{
    const std::vector<NodeDetailResData> v = List();
    std::wstring out;
    for (size_t i = 0; i < v.size(); ++i) {
        for (const char* f = pszFields; *f != '\0'; ++f) {
            out += f != pszFields ? L"/" : i > 0 ? L"|" : L"";
            out += *f == 'g'   ? v[i].GetGuid()
                   : *f == 'n' ? v[i].GetDisplayName()
                   : *f == 'd' ? v[i].GetDescription()
                               : CString(v[i].GetCheck() ? L"1" : L"0");
        }
    }
    return out;
}

// Records named as given, with GUID texts G0, G1, ...
void SetNames(const std::vector<const wchar_t*>& names)
{
    std::vector<NodeDetailResData> v;
    for (const wchar_t* n : names)
        v.push_back(Rec((L"G" + std::to_wstring(v.size())).c_str(), n));
    Mgr()->SetVecNodeDetailResData(v);
}

class NodeDetailManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        zktest::ResetDataDirectory();
        Mgr()->SetVecNodeDetailResData({});
    }
};

}  // namespace

TEST_F(NodeDetailManagerTest, SaveLoadAndMissingFile)
{
    EXPECT_EQ(zktest::Native(zktest::DataDirectory() +
                             L"Data\\NodeDetail\\节点图\\成果库\\NodeDetailDataEx.xml"),
              LibraryFile());
    std::vector<NodeDetailResData> recs = {Rec(L"B2C3D4E5-0000", L"管道支架10", L"说明 <&>\r\n\""),
                                           Rec(L"{lower-guid}", L"Detail2"),
                                           Rec(L"B2C3D4E5-0000", L"", L"dup")};
    recs[1].SetCheck(true);
    Mgr()->SetVecNodeDetailResData(recs);
    fs::create_directories(LibraryFile().parent_path());
    ASSERT_TRUE(Mgr()->Save());
    ASSERT_TRUE(Mgr()->Load());  // marks come back clear
    EXPECT_EQ(
        L"B2C3D4E5-0000/管道支架10/说明 <&>\r\n\"/0|{lower-guid}/Detail2//0|"
        L"B2C3D4E5-0000//dup/0",
        Texts("gndc"));
    // Files that do not load are in the bad-input corpus; a missing one
    // changes nothing.
    fs::remove(LibraryFile());
    SetNames({L"a", L"b"});
    EXPECT_FALSE(Mgr()->Load());
    EXPECT_EQ(L"a|b", Texts());
    EXPECT_TRUE(Mgr()->Update());
    EXPECT_EQ(0, Mgr()->GetDataCount());
}

TEST_F(NodeDetailManagerTest, QueriesAndEdits)
{
    SetNames({L"x", L"y", L"z", L"abc", L"abc"});
    Mgr()->AddNodeDetailResData(Rec(L"NEW", L"ABC"));  // replaces the first "abc"
    Mgr()->AddNodeDetailResData(Rec(L"W", L"w"));
    EXPECT_EQ(L"W|NEW|G0|G1|G2|G4", Texts("g"));

    std::vector<NodeDetailResData> out = {Rec(L"old", L"old")};
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"ab", out);  // case-sensitive
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(CString(L"G4"), out[0].GetGuid());
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"", out);
    EXPECT_EQ(6u, out.size());

    NodeDetailResData found;
    int index = 77;
    EXPECT_EQ(1, Mgr()->FindDataByDisplayName(L"abc", found));
    EXPECT_EQ(CString(L"NEW"), found.GetGuid());
    EXPECT_EQ(2, Mgr()->FindDataByGuid(L"g0", found));
    EXPECT_TRUE(Mgr()->CheckNameExist(L"Z", index) && index == 4);
    EXPECT_EQ(-1, Mgr()->FindDataByDisplayName(L"ab", found));
    EXPECT_EQ(-1, Mgr()->FindDataByGuid(L"G", found));
    EXPECT_FALSE(Mgr()->CheckNameExist(L"abcd", index) || Mgr()->CheckNameExist(L""));
    EXPECT_EQ(CString(L"G0"), found.GetGuid());  // misses leave outputs alone
    EXPECT_EQ(4, index);

    SetNames({L"a", L"b", L"c", L"d"});
    for (const int bad : {-1, 4})
        EXPECT_FALSE(Mgr()->ModifyNodeName(bad, L"q") || Mgr()->ModifyNodeCheckSta(bad, true) ||
                     Mgr()->DelNode(bad));
    EXPECT_TRUE(Mgr()->ModifyNodeName(3, L"A"));  // no uniqueness check
    EXPECT_TRUE(Mgr()->ModifyNodeCheckSta(1, true) && Mgr()->ModifyNodeCheckSta(2, true));
    EXPECT_EQ(L"a/0|b/1|c/1|A/0", Texts("nc"));
    EXPECT_TRUE(Mgr()->DelNode());
    EXPECT_EQ(L"a|A", Texts());
    EXPECT_TRUE(Mgr()->DelNode(L"A"));  // the first match only
    EXPECT_EQ(L"G3", Texts("g"));
    EXPECT_FALSE(Mgr()->DelNode(L"x"));

    SetNames({L"Detail10", L"a", L"Detail2", L"B"});
    Mgr()->ModifyNodeCheckSta(1, true);
    EXPECT_TRUE(Mgr()->RecoverNodeCheckSta() && Mgr()->DelNode());
    EXPECT_TRUE(Mgr()->SortData());
    EXPECT_EQ(L"B|Detail2|Detail10|a", Texts());
}

TEST_F(NodeDetailManagerTest, CopyNode)
{
    NodeDetailResData pump = Rec(L"{src}", L"Pump", L"desc");
    pump.SetCheck(true);
    Mgr()->SetVecNodeDetailResData({pump});
    zktest::WriteBytes(FileOf(L"{src}", L".dwg"), "drawing");
    zktest::WriteBytes(FileOf(L"{src}", L".sld"), "slide");
    for (const int bad : {-1, 1})
        EXPECT_EQ(0, Mgr()->CopyNode(bad));
    EXPECT_EQ(0, Mgr()->CopyNode(L"Pum"));
    EXPECT_EQ(L"Pump", Texts());
    EXPECT_EQ(2u, zktest::FolderEntries(LibraryFile().parent_path()).size());

    EXPECT_EQ(1, Mgr()->CopyNode(0));
    EXPECT_EQ(1, Mgr()->CopyNode(L"pump"));  // the stored spelling is the base
    EXPECT_EQ(L"Pump(1)/desc/1|Pump(2)/desc/1|Pump/desc/1", Texts("ndc"));
    const std::vector<NodeDetailResData> v = List();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(36, v[i].GetGuid().GetLength());
        EXPECT_EQ("drawing", zktest::ReadBytes(FileOf(v[i].GetGuid(), L".dwg")));
        EXPECT_EQ("slide", zktest::ReadBytes(FileOf(v[i].GetGuid(), L".sld")));
    }
    EXPECT_NE(v[0].GetGuid(), v[1].GetGuid());
    EXPECT_EQ(6u, zktest::FolderEntries(LibraryFile().parent_path()).size());

    // Either file missing: 0, yet the record is added and the other file copied.
    fs::remove(FileOf(L"{src}", L".dwg"));
    EXPECT_EQ(0, Mgr()->CopyNode(L"Pump"));
    EXPECT_FALSE(fs::exists(FileOf(List()[2].GetGuid(), L".dwg")));
    EXPECT_TRUE(fs::exists(FileOf(List()[2].GetGuid(), L".sld")));
    zktest::WriteBytes(FileOf(L"{src}", L".dwg"), "drawing");
    fs::remove(FileOf(L"{src}", L".sld"));
    EXPECT_EQ(0, Mgr()->CopyNode(3));
    EXPECT_TRUE(fs::exists(FileOf(List()[3].GetGuid(), L".dwg")));
    EXPECT_EQ(L"Pump(1)|Pump(2)|Pump(3)|Pump(4)|Pump", Texts());

    // First free name ignoring case; the copy takes the source's place.
    SetNames({L"Pump(2)", L"Pump", L"pump(1)", L"PUMP(3)"});
    Mgr()->CopyNode(1);
    EXPECT_EQ(L"Pump(2)|Pump(4)|Pump|pump(1)|PUMP(3)", Texts());
    Mgr()->CopyNode(L"pump(1)");
    EXPECT_EQ(L"Pump(2)|Pump(4)|Pump|pump(1)(1)|pump(1)|PUMP(3)", Texts());
}

// The changed flag is never cleared, so whether an operation sets it shows
// only on a fresh manager: each case runs in a new process, which exits with 2
// if the flag was set beforehand, else with the flag afterwards.
TEST(NodeDetailFreshProcessDeathTest, DataChangedOnlyByLoadAndEdits)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    using M = CNodeDetailResDataManager;
    const struct {
        void (*op)(M*);
        int flag;
    } cases[] = {
        {[](M* m) {  // edits of marks or order, misses, and Save
             SetNames({L"a", L"B"}), m->AddNodeDetailResData(Rec(L"i", L"A")), m->SortData();
             m->ModifyNodeCheckSta(0, true), m->RecoverNodeCheckSta(), m->DelNode();
             m->ModifyNodeName(-1, L"x"), m->DelNode(5), m->DelNode(L"none"), m->CopyNode(9);
             m->CopyNode(L"none"), m->Load(), m->Update();  // no file yet
             fs::create_directories(LibraryFile().parent_path()), m->Save();
         },
         0},
        {[](M* m) { zktest::WriteBytes(LibraryFile(), "not xml"), m->Load(); }, 1},
        {[](M* m) { SetNames({L"a"}), m->ModifyNodeName(0, L"b"); }, 1},
        {[](M* m) { SetNames({L"a"}), m->DelNode(0); }, 1},
        {[](M* m) { SetNames({L"a"}), m->DelNode(L"A"); }, 1},
        {[](M* m) { SetNames({L"a"}), m->ModifyNodeCheckSta(0, true), m->DelNode(); }, 1},
        {[](M* m) { SetNames({L"a"}), m->CopyNode(L"a"); }, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                if (Mgr()->DataChanged())
                    std::exit(2);
                c.op(Mgr());
                std::exit(Mgr()->DataChanged() ? 1 : 0);
            },
            testing::ExitedWithCode(c.flag), "");
    }
}
