// The node-detail resource library: the record with its natural name order,
// and the manager's store, queries, edits and copies.

#include <cstdlib>

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

// The list as text: per record the chosen fields (g: GUID, n: name,
// d: description, c: mark) joined by '/', records by '|'.
std::wstring Texts(const char* pszFields = "n")
{
    std::vector<NodeDetailResData> v = {Rec(L"stale", L"stale")};  // must be replaced
    Mgr()->GetVecNodeDetailResData(v);
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

// Each test sets the list it starts from.
using NodeDetailManagerTest = zktest::LibraryTest;

}  // namespace

TEST(NodeDetailResDataTest, ConstructionCopyAndGuidText)
{
    const NodeDetailResData empty;
    EXPECT_TRUE(empty.GetGuid().IsEmpty() && empty.GetDisplayName().IsEmpty() &&
                empty.GetDescription().IsEmpty() && !empty.GetCheck());
    NodeDetailResData pump(L"Pump base");
    EXPECT_TRUE(pump.GetDisplayName() == L"Pump base" && pump.GetDescription() == L"Pump base" &&
                !pump.GetCheck());
    EXPECT_EQ(36, pump.GetGuid().GetLength());
    EXPECT_NE(pump.GetGuid(), NodeDetailResData(L"Pump base").GetGuid());

    _GUID raw = {0x0A2B3C4D, 0xAB, 0xCDEF, {0x01, 0x23, 0xAB, 0xCD, 0xEF, 0x00, 0x45, 0xFF}};
    pump.SetGuid(raw);
    EXPECT_EQ(CString(L"0A2B3C4D-00AB-CDEF-0123-ABCDEF0045FF"), pump.GetGuid());
    pump.SetGuid(L"{abcdef01-2345}");  // kept as given
    pump.SetDescription(L"desc");
    pump.SetCheck(true);
    NodeDetailResData& alias = pump;
    pump = alias;
    NodeDetailResData assigned;
    assigned = pump;
    for (const NodeDetailResData& d : {NodeDetailResData(pump), assigned})
        EXPECT_TRUE(d.GetGuid() == L"{abcdef01-2345}" && d.GetDisplayName() == L"Pump base" &&
                    d.GetDescription() == L"desc" && d.GetCheck());
}

TEST(NodeDetailResDataTest, NaturalOrder)
{
    std::vector<NodeDetailResData> all;
    // The names in ascending order; one marked "=" is equivalent to the one
    // before it.
    auto ascending = [&all](std::initializer_list<const wchar_t*> names) {
        std::vector<std::pair<std::wstring, int>> ranked;
        for (const wchar_t* n : names)
            ranked.emplace_back(n + (n[0] == L'=' ? 1 : 0), n[0] == L'='
                                                                ? ranked.back().second
                                                                : static_cast<int>(ranked.size()));
        for (const auto& [a, nRankA] : ranked) {
            all.push_back(Rec(L"", a.c_str()));
            for (const auto& [b, nRankB] : ranked)
                EXPECT_EQ(nRankA < nRankB, Rec(L"", a.c_str()) < Rec(L"", b.c_str()))
                    << testing::PrintToString(a) << " < " << testing::PrintToString(b);
        }
    };
    // Digits by value, the rest by UTF-16 unit; a number comes before anything
    // else, a shorter name before a longer one with equal tokens. A full-width
    // digit is no digit.
    ascending({L"",        L"01",      L"=1",       L"2",      L"2.5",     L"2.10",
               L"10",      L"-",       L"A-\u4E2D", L"A_",     L"A\u4E2D", L"AB",
               L"B",       L"Detail2", L"Detail10", L"a",      L"a1",      L"a1b",
               L"abc",     L"abcd",    L"x",        L"x12",    L"x100",    L"x\U0001F600",
               L"x\uE000", L"z",       L"\u4E00",   L"\u4E2D", L"\uFF10"});
    // Runs past 2^53 collapse to the same double; equal values hide what follows.
    ascending({L"n1", L"n9007199254740992", L"=n9007199254740993", L"n99999999999999999999"});
    ascending({L"01x", L"=1a"});
    NodeDetailResData a = Rec(L"2", L"a", L"d");
    a.SetCheck(true);
    EXPECT_FALSE(a < Rec(L"", L"a") || Rec(L"", L"a") < a);  // only the names take part

    // Irreflexive, asymmetric and transitive over everything.
    for (const wchar_t* n : {L"a01", L"a01b", L"1-", L"Detail-2", L"Detail 2", L"\u4E2D1",
                             L"\u4E2D10", L"a.1", L"a.01", L"Z9", L"A", L"18446744073709551616"})
        all.push_back(Rec(L"", n));
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_FALSE(all[i] < all[i]) << i;
        for (size_t j = 0; j < all.size(); ++j) {
            if (!(all[i] < all[j]))
                continue;
            EXPECT_FALSE(all[j] < all[i]) << i << " " << j;
            for (size_t k = 0; k < all.size(); ++k)
                EXPECT_TRUE(!(all[j] < all[k]) || all[i] < all[k]) << i << " " << j << " " << k;
        }
    }
}

// Loading and saving, good and bad files, are in the bad-input corpus.
TEST_F(NodeDetailManagerTest, QueriesAndEdits)
{
    EXPECT_EQ(zktest::Native(zktest::DataDirectory() +
                             L"Data\\NodeDetail\\节点图\\成果库\\NodeDetailDataEx.xml"),
              LibraryFile());
    SetNames({L"x", L"y", L"z", L"abc", L"abc"});
    Mgr()->AddNodeDetailResData(Rec(L"NEW", L"ABC"));  // replaces the first "abc"
    Mgr()->AddNodeDetailResData(Rec(L"W", L"w"));
    EXPECT_EQ(L"W|NEW|G0|G1|G2|G4", Texts("g"));

    std::vector<NodeDetailResData> out = {Rec(L"old", L"old")};
    Mgr()->GetVecNodeDetailResDataBySearchInfo(L"ab", out);  // case-sensitive
    EXPECT_TRUE(out.size() == 1 && out[0].GetGuid() == L"G4");
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

// A reload reads over the list it replaces: nothing of the old records may
// show through, whatever the new file holds. Failed and missing files are in
// the bad-input corpus.
TEST_F(NodeDetailManagerTest, ReloadLeavesNothingOfTheListItReplaces)
{
    const auto write = [](const std::string& rows) {
        zktest::WriteBytes(LibraryFile(), "<NodeDetailResData>" + rows + "</NodeDetailResData>");
    };
    write(
        "<NodeDetailResDataRow GuId='0000-LONG-GUID' DisplayName='a long display name' "
        "Description='a long description'/><NodeDetailResDataRow GuId='G1' DisplayName='b' "
        "Description='d'/><NodeDetailResDataRow GuId='G2' DisplayName='c' Description='e'/>");
    const auto loadMarked = [] {
        ASSERT_TRUE(Mgr()->Load() && Mgr()->ModifyNodeCheckSta(0, true));
        Mgr()->ModifyNodeCheckSta(2, true);
    };
    loadMarked();
    write("<NodeDetailResDataRow DisplayName='x'/><NodeDetailResDataRow GuId='H'/>");
    EXPECT_TRUE(Mgr()->Load());
    EXPECT_EQ(L"/x//0|H///0", Texts("gndc"));

    loadMarked();
    write(
        "<NodeDetailResDataRow Description='\u4E2D'/><NodeDetailResDataRow/>"
        "<NodeDetailResDataRow GuId='A' DisplayName='a longer display name than before'/>"
        "<NodeDetailResDataRow DisplayName='z'/>");
    EXPECT_TRUE(Mgr()->Update());
    EXPECT_EQ(L"//\u4E2D/0|///0|A/a longer display name than before//0|/z//0", Texts("gndc"));
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
    std::vector<NodeDetailResData> v;
    Mgr()->GetVecNodeDetailResData(v);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(36, v[i].GetGuid().GetLength());
        EXPECT_EQ("drawing", zktest::ReadBytes(FileOf(v[i].GetGuid(), L".dwg")));
        EXPECT_EQ("slide", zktest::ReadBytes(FileOf(v[i].GetGuid(), L".sld")));
    }
    EXPECT_NE(v[0].GetGuid(), v[1].GetGuid());
    EXPECT_EQ(6u, zktest::FolderEntries(LibraryFile().parent_path()).size());

    // Copies whose files cannot be copied are in the fault tests.
    // First free name ignoring case; the copy takes the source's place.
    SetNames({L"Pump(2)", L"Pump", L"pump(1)", L"PUMP(3)"});
    Mgr()->CopyNode(1);
    EXPECT_EQ(L"Pump(2)|Pump(4)|Pump|pump(1)|PUMP(3)", Texts());
    Mgr()->CopyNode(L"pump(1)");
    EXPECT_EQ(L"Pump(2)|Pump(4)|Pump|pump(1)(1)|pump(1)|PUMP(3)", Texts());
}

// The changed flags are never cleared, so whether an operation sets one shows
// only on fresh managers: each case runs in a new process, which exits with 2
// if a flag was set beforehand, else with 1 when one is set afterwards.
TEST(FreshProcessDeathTest, OnlyLoadsRenamesDeletionsAndCopiesRaiseTheChangedFlag)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    static CNodeDetailResDataManager* const m = Mgr();
    static CFitDataManager* const f = ZkFitDataManager();
    static const auto addFit = [](const wchar_t* pszName) {
        FittingData fit;
        fit.SetDisplayName(pszName);
        f->AddFit(fit);
    };
    static const auto MakeFolders = [] {
        fs::create_directories(LibraryFile().parent_path());
        fs::create_directories(zktest::Library::Fitting().file.parent_path());
    };
    const std::pair<void (*)(), int> cases[] = {
        {[] {  // edits of marks or order, misses, and saves
             SetNames({L"a", L"B"}), m->AddNodeDetailResData(Rec(L"i", L"A")), m->SortData();
             m->ModifyNodeCheckSta(0, true), m->RecoverNodeCheckSta(), m->DelNode();
             m->ModifyNodeName(-1, L"x"), m->DelNode(5), m->DelNode(L"none"), m->CopyNode(9);
             m->CopyNode(L"none"), m->Load(), m->Update(), f->Load(), f->Update();  // no file
             addFit(L"a"), addFit(L"b"), f->ModifyFitCheckSta(0, 0, true), f->RecoverFitCheckSta();
             f->DelFit(), f->SetLayOutFitName(L"a"), f->DelFit(0, 5), f->ModifyFitName(1, 0, L"x");
             f->CheckDelCondition(NodeDetailEx::kFittingTypeNone, false);
             MakeFolders(), m->Save(), f->Save();
         },
         0},
        {[] { zktest::WriteBytes(LibraryFile(), "not xml"), m->Load(); }, 1},
        {[] { zktest::WriteBytes(zktest::Library::Fitting().file, "not xml"), f->Load(); }, 1},
        {[] { SetNames({L"a"}), m->ModifyNodeName(0, L"b"); }, 1},
        {[] { SetNames({L"a"}), m->DelNode(0); }, 1},
        {[] { SetNames({L"a"}), m->DelNode(L"A"); }, 1},
        {[] { SetNames({L"a"}), m->ModifyNodeCheckSta(0, true), m->DelNode(); }, 1},
        {[] { SetNames({L"a"}), m->CopyNode(L"a"); }, 1},
        {[] { addFit(L"a"), f->ModifyFitName(0, 0, L"b"), MakeFolders(), f->Save(); }, 1},
        {[] { addFit(L"a"), f->DelFit(0, 0); }, 1},
        {[] { addFit(L"a"), f->ModifyFitCheckSta(0, 0, true), f->DelFit(); }, 1},
    };
    for (const auto& [op, nFlag] : cases) {
        EXPECT_EXIT(
            {
                if (m->DataChanged() || f->DataChanged())
                    std::exit(2);
                op();
                std::exit(m->DataChanged() || f->DataChanged() ? 1 : 0);
            },
            testing::ExitedWithCode(nFlag), "");
    }
}
