#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

fs::path LibraryFile()
{
    return zktest::Native(std::wstring(Mgr()->GetFileName().GetString()));
}

NodeDetailResData Rec(const wchar_t* pszGuid, const wchar_t* pszName, const wchar_t* pszDesc = L"")
{
    NodeDetailResData data;
    data.SetGuid(pszGuid);
    data.SetDisplayName(pszName);
    data.SetDescription(pszDesc);
    return data;
}

std::vector<std::wstring> Names()
{
    std::vector<NodeDetailResData> v;
    Mgr()->GetVecNodeDetailResData(v);
    std::vector<std::wstring> names;
    for (const NodeDetailResData& d : v)
        names.emplace_back(d.GetDisplayName().GetString());
    return names;
}

void SetNames(std::initializer_list<const wchar_t*> names)
{
    std::vector<NodeDetailResData> v;
    int i = 0;
    for (const wchar_t* n : names) {
        const std::wstring guid = L"G" + std::to_wstring(i++);
        v.push_back(Rec(guid.c_str(), n));
    }
    Mgr()->SetVecNodeDetailResData(v);
}

void ExpectSameRecords(const std::vector<NodeDetailResData>& a,
                       const std::vector<NodeDetailResData>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].GetGuid(), b[i].GetGuid()) << i;
        EXPECT_EQ(a[i].GetDisplayName(), b[i].GetDisplayName()) << i;
        EXPECT_EQ(a[i].GetDescription(), b[i].GetDescription()) << i;
        EXPECT_EQ(a[i].GetCheck(), b[i].GetCheck()) << i;
    }
}

class NodeDetailManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        zktest::ResetDataDirectory();
        Mgr()->SetVecNodeDetailResData({});
    }
};

// The changed flag never falls back to false, so whether an operation sets it
// can only be seen on a fresh manager: each check runs in a new process.
void ExitWithFlagAfter(void (*op)(CNodeDetailResDataManager*))
{
    CNodeDetailResDataManager* m = Mgr();
    if (m->DataChanged())
        std::exit(2);
    op(m);
    std::exit(m->DataChanged() ? 1 : 0);
}

void MakeFolder()
{
    fs::create_directories(LibraryFile().parent_path());
}

}  // namespace

TEST_F(NodeDetailManagerTest, FileNameUnderDataDirectory)
{
    EXPECT_EQ(zktest::DataDirectory() +
                  L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u6210\u679C\u5E93\\NodeDetailDataEx.xml",
              std::wstring(Mgr()->GetFileName().GetString()));
}

TEST_F(NodeDetailManagerTest, SaveLoadRoundTrip)
{
    const std::vector<NodeDetailResData> recs = {
        Rec(L"B2C3D4E5-0000-0000-0000-000000000001", L"\u7BA1\u9053\u652F\u67B610",
            L"\u8BF4\u660E <&>"),
        Rec(L"{lower-guid}", L"Detail2", L""),
        Rec(L"B2C3D4E5-0000-0000-0000-000000000001", L"\u7BA1\u9053\u652F\u67B610", L"dup"),
        Rec(L"", L"", L"no name"),
    };
    std::vector<NodeDetailResData> checked = recs;
    checked[1].SetCheck(true);
    Mgr()->SetVecNodeDetailResData(checked);

    // No folder is made on the caller's behalf.
    EXPECT_FALSE(Mgr()->Save());
    EXPECT_FALSE(fs::exists(LibraryFile()));
    MakeFolder();
    ASSERT_TRUE(Mgr()->Save());
    ASSERT_TRUE(fs::exists(LibraryFile()));

    // Loading twice replaces the list, never appends; check marks come back clear.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(Mgr()->Load());
        EXPECT_TRUE(Mgr()->DataChanged());
        std::vector<NodeDetailResData> back;
        Mgr()->GetVecNodeDetailResData(back);
        ExpectSameRecords(recs, back);
    }

    // An empty library is a root without rows, and loads back empty.
    Mgr()->SetVecNodeDetailResData({});
    ASSERT_TRUE(Mgr()->Save());
    EXPECT_TRUE(Mgr()->DataChanged());  // saving does not clear it
    const std::string text = zktest::ReadBytes(LibraryFile());
    EXPECT_NE(std::string::npos, text.find("NodeDetailResData"));
    EXPECT_EQ(std::string::npos, text.find("NodeDetailResDataRow"));
    SetNames({L"stale"});
    ASSERT_TRUE(Mgr()->Load());
    EXPECT_EQ(0, Mgr()->GetDataCount());
}

TEST_F(NodeDetailManagerTest, LoadsAFileWrittenByTheHost)
{
    zktest::WriteBytes(LibraryFile(),
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<NodeDetailResData>\n"
                       "  <NodeDetailResDataRow GuId=\"AAAA\" DisplayName=\"\xE6\x94\xAF\xE6\x9E\xB6\" "
                       "Description=\"one\"/>\n"
                       "  <NodeDetailResDataRow GuId=\"bbbb\" DisplayName=\"Pump\"/>\n"
                       "  <Other GuId=\"cccc\" DisplayName=\"ignored\"/>\n"
                       "</NodeDetailResData>\n");
    ASSERT_TRUE(Mgr()->Load());
    std::vector<NodeDetailResData> v;
    Mgr()->GetVecNodeDetailResData(v);
    ExpectSameRecords({Rec(L"AAAA", L"\u652F\u67B6", L"one"), Rec(L"bbbb", L"Pump", L"")}, v);
}

TEST_F(NodeDetailManagerTest, UnreadableFilesEmptyTheList)
{
    const char* bad[] = {
        "<NodeDetailResData><NodeDetailResDataRow GuId=\"a\"",  // truncated
        "",
        "<FitData><NodeDetailResDataRow GuId=\"a\" DisplayName=\"x\"/></FitData>",  // wrong root
    };
    for (const char* bytes : bad) {
        zktest::WriteBytes(LibraryFile(), bytes);
        SetNames({L"kept?"});
        EXPECT_FALSE(Mgr()->Load()) << bytes;
        EXPECT_EQ(0, Mgr()->GetDataCount()) << bytes;
        EXPECT_TRUE(Mgr()->DataChanged());
    }
}

TEST_F(NodeDetailManagerTest, MissingFileChangesNothing)
{
    SetNames({L"a", L"b"});
    const bool changed = Mgr()->DataChanged();
    EXPECT_FALSE(Mgr()->Load());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), Names());
    EXPECT_EQ(changed, Mgr()->DataChanged());

    // Update empties the list itself and always answers true.
    EXPECT_TRUE(Mgr()->Update());
    EXPECT_EQ(0, Mgr()->GetDataCount());
    EXPECT_EQ(changed, Mgr()->DataChanged());
}

TEST_F(NodeDetailManagerTest, AddSearchAndFind)
{
    SetNames({L"x", L"y", L"z", L"abc", L"abc"});
    std::vector<NodeDetailResData> out = {Rec(L"old", L"old")};

    // Adding replaces the first record of that name ignoring case, and goes first.
    Mgr()->AddNodeDetailResData(Rec(L"NEW", L"ABC", L"new"));
    EXPECT_EQ((std::vector<std::wstring>{L"ABC", L"x", L"y", L"z", L"abc"}), Names());
    Mgr()->AddNodeDetailResData(Rec(L"N2", L"w"));
    EXPECT_EQ(6, Mgr()->GetDataCount());
    EXPECT_EQ(L"w", Names().front());

    // The search is the one case-sensitive match; the empty text matches all.
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"ab", out);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(CString(L"G4"), out[0].GetGuid());
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"B", out);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(CString(L"NEW"), out[0].GetGuid());
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"", out);
    EXPECT_EQ(6u, out.size());
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"q", out);
    EXPECT_TRUE(out.empty());

    NodeDetailResData found;
    EXPECT_EQ(1, Mgr()->FindDataByDisplayName(L"abc", found));
    EXPECT_EQ(CString(L"NEW"), found.GetGuid());
    EXPECT_EQ(2, Mgr()->FindDataByGuid(L"g0", found));
    EXPECT_EQ(CString(L"x"), found.GetDisplayName());
    int index = 77;
    EXPECT_TRUE(Mgr()->CheckNameExist(L"Z", index));
    EXPECT_EQ(4, index);
    EXPECT_TRUE(Mgr()->CheckNameExist(L"W"));

    // Misses leave the outputs alone.
    found = Rec(L"keep", L"keep");
    index = 77;
    EXPECT_EQ(-1, Mgr()->FindDataByDisplayName(L"ab", found));
    EXPECT_EQ(-1, Mgr()->FindDataByGuid(L"G", found));
    EXPECT_EQ(CString(L"keep"), found.GetGuid());
    EXPECT_FALSE(Mgr()->CheckNameExist(L"abcd", index));
    EXPECT_FALSE(Mgr()->CheckNameExist(L""));
    EXPECT_EQ(77, index);

    // GetVec replaces the content of the caller's sequence.
    std::vector<NodeDetailResData> all = {Rec(L"1", L"1"), Rec(L"2", L"2")};
    Mgr()->GetVecNodeDetailResData(all);
    EXPECT_EQ(6u, all.size());
}

TEST_F(NodeDetailManagerTest, IndexOperationsAndDeletion)
{
    SetNames({L"a", L"b", L"c", L"d"});
    for (const int bad : {-1, 4}) {
        EXPECT_FALSE(Mgr()->ModifyNodeName(bad, L"q"));
        EXPECT_FALSE(Mgr()->ModifyNodeCheckSta(bad, true));
        EXPECT_FALSE(Mgr()->DelNode(bad));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c", L"d"}), Names());

    EXPECT_TRUE(Mgr()->ModifyNodeName(3, L"B"));  // no uniqueness check
    EXPECT_TRUE(Mgr()->ModifyNodeCheckSta(0, true));
    EXPECT_TRUE(Mgr()->ModifyNodeCheckSta(2, true));
    std::vector<NodeDetailResData> v;
    Mgr()->GetVecNodeDetailResData(v);
    EXPECT_TRUE(v[0].GetCheck());
    EXPECT_FALSE(v[1].GetCheck());

    EXPECT_TRUE(Mgr()->DelNode());
    EXPECT_EQ((std::vector<std::wstring>{L"b", L"B"}), Names());
    EXPECT_TRUE(Mgr()->DelNode());  // nothing checked
    EXPECT_EQ(2, Mgr()->GetDataCount());

    // By name: the first match ignoring case only.
    EXPECT_TRUE(Mgr()->DelNode(L"b"));
    Mgr()->GetVecNodeDetailResData(v);
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(CString(L"G3"), v[0].GetGuid());
    EXPECT_FALSE(Mgr()->DelNode(L"x"));
    EXPECT_TRUE(Mgr()->DelNode(0));
    EXPECT_EQ(0, Mgr()->GetDataCount());
    EXPECT_FALSE(Mgr()->DelNode(0));

    SetNames({L"a", L"b", L"c"});
    Mgr()->ModifyNodeCheckSta(1, true);
    Mgr()->ModifyNodeCheckSta(2, true);
    EXPECT_TRUE(Mgr()->RecoverNodeCheckSta());
    Mgr()->GetVecNodeDetailResData(v);
    for (const NodeDetailResData& d : v)
        EXPECT_FALSE(d.GetCheck());
    EXPECT_TRUE(Mgr()->DelNode());
    EXPECT_EQ(3, Mgr()->GetDataCount());
}

TEST_F(NodeDetailManagerTest, SortDataUsesNaturalOrder)
{
    SetNames({L"Detail10", L"a", L"Detail2", L"B"});
    EXPECT_TRUE(Mgr()->SortData());
    EXPECT_EQ((std::vector<std::wstring>{L"B", L"Detail2", L"Detail10", L"a"}), Names());

    // A larger list, enough for the sort's partitioning to kick in.
    std::vector<NodeDetailResData> v;
    for (int i = 0; i < 300; ++i) {
        const std::wstring name =
            (i % 3 == 0 ? L"\u652F\u67B6" : (i % 3 == 1 ? L"Pipe-" : L"pipe")) +
            std::to_wstring((i * 7919) % 101) + (i % 2 ? L"b" : L"");
        v.push_back(Rec(L"g", name.c_str()));
    }
    Mgr()->SetVecNodeDetailResData(v);
    Mgr()->SortData();
    Mgr()->GetVecNodeDetailResData(v);
    ASSERT_EQ(300u, v.size());
    for (size_t i = 1; i < v.size(); ++i)
        EXPECT_FALSE(v[i] < v[i - 1]) << i;
}

TEST(NodeDetailFreshProcessDeathTest, DataChangedOnlyByLoadAndEdits)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    // Exit code 0: still false afterwards; 1: set; 2: the manager was not fresh.
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    std::vector<NodeDetailResData> v = {Rec(L"g", L"a"), Rec(L"h", L"B")};
                    m->SetVecNodeDetailResData(v);
                    m->AddNodeDetailResData(Rec(L"i", L"A"));
                    m->SortData();
                    m->ModifyNodeCheckSta(0, true);
                    m->RecoverNodeCheckSta();
                    m->DelNode();
                    m->DelNode(5);
                    m->DelNode(L"none");
                    m->ModifyNodeName(-1, L"x");
                    m->CopyNode(9);
                    m->CopyNode(L"none");
                    m->Load();    // no file yet
                    m->Update();  // idem
                    MakeFolder();
                    m->Save();
                }),
                testing::ExitedWithCode(0), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    zktest::WriteBytes(LibraryFile(), "not xml");
                    m->Load();
                }),
                testing::ExitedWithCode(1), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    m->SetVecNodeDetailResData({Rec(L"g", L"a")});
                    m->ModifyNodeName(0, L"b");
                }),
                testing::ExitedWithCode(1), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    m->SetVecNodeDetailResData({Rec(L"g", L"a")});
                    m->DelNode(0);
                }),
                testing::ExitedWithCode(1), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    m->SetVecNodeDetailResData({Rec(L"g", L"a")});
                    m->DelNode(L"A");
                }),
                testing::ExitedWithCode(1), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    m->SetVecNodeDetailResData({Rec(L"g", L"a")});
                    m->ModifyNodeCheckSta(0, true);
                    m->DelNode();
                }),
                testing::ExitedWithCode(1), "");
    EXPECT_EXIT(ExitWithFlagAfter([](CNodeDetailResDataManager* m) {
                    // Set even though neither file can be copied.
                    m->SetVecNodeDetailResData({Rec(L"g", L"a")});
                    m->CopyNode(L"a");
                }),
                testing::ExitedWithCode(1), "");
}
