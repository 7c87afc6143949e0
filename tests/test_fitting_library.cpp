#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

namespace fs = std::filesystem;

namespace {

NodeDetailEx::FittingType Type(int n)
{
    return static_cast<NodeDetailEx::FittingType>(n);
}

FittingData Fit(int nType, const wchar_t* pszName, int nConnectors = 0)
{
    FittingData fit;
    fit.SetFitType(Type(nType));
    fit.SetDisplayName(pszName);
    fit.SetGUID((CString(L"GUID-") + pszName).GetString());
    fit.SetBlockName((CString(L"BLK_") + pszName).GetString());
    fit.SetDescription(L"desc");
    fit.SetScale(0.5 + nConnectors);
    fit.SetPos(stu3Value(nType, 1.25, -3));
    fit.SetDirection(stu3Value(0, 1, 0));
    fit.SetButtressPos(stu3Value(-7.5, 0, nConnectors));
    std::vector<ConnectorData> cons(nConnectors);
    for (int i = 0; i < nConnectors; ++i) {
        cons[i].SetIndex(i + 1);
        cons[i].SetAngle(30.0 * i);
        cons[i].SetConType(static_cast<Pipe::ConnectionType>(i % 3));
        cons[i].SetPos(stu3Value(i, -i, 0.125));
    }
    fit.SetConnector(cons);
    return fit;
}

// Every field of a fitting but the mark, as one text.
std::wstring Dump(const FittingData& fit)
{
    CString text;
    const stu3Value p = fit.GetPos(), d = fit.GetDirection(), b = fit.GetButtressPos();
    text.Format(L"%s|%s|%s|%s|%.17g|%d|%.17g,%.17g,%.17g|%.17g,%.17g,%.17g|%.17g,%.17g,%.17g",
                fit.GUID().GetString(), fit.GetDisplayName().GetString(),
                fit.GetBlockName().GetString(), fit.GetDescription().GetString(), fit.GetScale(),
                static_cast<int>(fit.GetFitType()), p.x, p.y, p.z, d.x, d.y, d.z, b.x, b.y, b.z);
    std::vector<ConnectorData> cons;
    fit.GetConnector(cons);
    for (const ConnectorData& c : cons) {
        CString one;
        one.Format(L"|%d:%.17g:%d:%.17g,%.17g,%.17g", c.GetIndex(), c.GetAngle(),
                   static_cast<int>(c.GetConType()), c.GetPos().x, c.GetPos().y, c.GetPos().z);
        text += one;
    }
    return text.GetString();
}

// Display names of the first group of a type, in order.
std::wstring Names(CFitDataManager* mgr, int nType)
{
    std::vector<FittingData> fits;
    mgr->FindFitDataArrByFitType(Type(nType), fits);
    std::wstring names;
    for (const FittingData& fit : fits)
        names += std::wstring(fit.GetDisplayName()) + L" ";
    return names;
}

// The manager is shared by the whole process: every test starts from an
// empty library folder and an empty list.
class FitLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zktest::ResetDataDirectory();
        fs::create_directories(zktest::Native(Folder()));
        mgr->Update();
        mgr->RecoverFitCheckSta();
        ASSERT_EQ(0, mgr->GetDataCount());
    }

    static std::wstring Folder()
    {
        return zktest::DataDirectory() + L"Data\\NodeDetail\\节点图\\管件库\\";
    }
    static fs::path File() { return zktest::Native(Folder() + L"FitDataEx.xml"); }

    // Groups of type 3 (A, B, C, D), 5 (E) and again 3 (F), as a file holds them.
    void LoadTwoGroupsOfOneType()
    {
        zktest::WriteBytes(File(),
                           "<?xml version=\"1.0\"?><FitData>"
                           "<FitInfo FitType=\"3\"><FitRow DisplayName=\"A\" GUID=\"AB-CD\"/>"
                           "<FitRow DisplayName=\"B\"/><FitRow DisplayName=\"C\"/>"
                           "<FitRow DisplayName=\"D\"/></FitInfo>"
                           "<FitInfo FitType=\"5\"><FitRow DisplayName=\"E\"/></FitInfo>"
                           "<FitInfo FitType=\"3\"><FitRow DisplayName=\"F\"/></FitInfo>"
                           "</FitData>");
        ASSERT_TRUE(mgr->Load());
        ASSERT_EQ(3, mgr->GetDataCount());
        FittingData bare;
        ASSERT_TRUE(mgr->FindFitDataByFitName(L"A", bare));
        ASSERT_EQ(0, bare.GetConNum());
        ASSERT_EQ(1.0, bare.GetScale());
    }

    CFitDataManager* mgr = ZkFitDataManager();
};

}  // namespace

TEST_F(FitLibraryTest, SaveAndLoadRoundTripTheWholeLibrary)
{
    EXPECT_STREQ((Folder() + L"FitDataEx.xml").c_str(), mgr->GetFileName());

    std::vector<FittingData> added = {Fit(1, L"Elbow", 2), Fit(2, L"Tee", 3), Fit(1, L"Reducer", 0),
                                      Fit(-1, L"Untyped", 1), Fit(2, L"Cross", 4)};
    added[1].SetCheck(true);
    for (const FittingData& fit : added)
        mgr->AddFit(fit);
    ASSERT_EQ(3, mgr->GetDataCount());
    ASSERT_TRUE(mgr->Save());

    // Loading twice gives the same list, not a doubled one; saving keeps the
    // flag up.
    ASSERT_TRUE(mgr->Load());
    ASSERT_TRUE(mgr->Load());
    ASSERT_TRUE(mgr->Save());
    EXPECT_TRUE(mgr->DataChanged());
    ASSERT_EQ(3, mgr->GetDataCount());
    EXPECT_EQ(L"Reducer Elbow ", Names(mgr, 1));
    EXPECT_EQ(L"Cross Tee ", Names(mgr, 2));
    std::vector<FittingData> fits;
    ASSERT_EQ(2, mgr->FindFitDataArrByFitType(Type(2), fits));
    EXPECT_EQ(Dump(added[4]), Dump(fits[0]));
    EXPECT_EQ(Dump(added[1]), Dump(fits[1]));
    EXPECT_FALSE(fits[1].GetCheck());
    FittingData found;
    ASSERT_TRUE(mgr->FindFitDataByFitName(L"untyped", found));
    EXPECT_EQ(Dump(added[3]), Dump(found));
    ASSERT_TRUE(mgr->FindFitDataByFitName(L"Elbow", found));
    EXPECT_EQ(Dump(added[0]), Dump(found));

    // A missing file leaves the list alone for Load and empties it for Update.
    fs::remove(File());
    EXPECT_FALSE(mgr->Load());
    EXPECT_EQ(3, mgr->GetDataCount());
    EXPECT_TRUE(mgr->Update());
    EXPECT_EQ(0, mgr->GetDataCount());

    // An empty library saves and loads back empty; Save makes no folder.
    ASSERT_TRUE(mgr->Save());
    EXPECT_EQ(std::string::npos, zktest::ReadBytes(File()).find("FitInfo"));
    mgr->AddFit(Fit(4, L"Kept"));
    EXPECT_TRUE(mgr->Load());
    EXPECT_EQ(0, mgr->GetDataCount());
    mgr->AddFit(Fit(4, L"Kept"));
    fs::remove_all(zktest::NativeDataDirectory() / "Data");
    EXPECT_FALSE(mgr->Save());
    EXPECT_EQ(1, mgr->GetDataCount());
    EXPECT_STREQ((Folder() + L"FitDataEx.xml").c_str(), mgr->GetFileName());
}

TEST_F(FitLibraryTest, UnreadableFileEmptiesTheListAndCountsAsChanged)
{
    for (const char* bad : {"<FitData><FitInfo", "<Other><FitInfo FitType=\"1\"/></Other>"}) {
        mgr->AddFit(Fit(1, L"A"));
        zktest::WriteBytes(File(), bad);
        EXPECT_FALSE(mgr->Load()) << bad;
        EXPECT_EQ(0, mgr->GetDataCount()) << bad;
        EXPECT_TRUE(mgr->DataChanged());
    }
}

TEST_F(FitLibraryTest, OnlyLoadRenameAndDeletionRaiseTheChangedFlag)
{
    // Meaningful when this test runs first in its process (as under ctest);
    // otherwise the flag is already up and stays up.
    const bool bBefore = mgr->DataChanged();
    mgr->AddFit(Fit(1, L"A"));
    mgr->AddFit(Fit(1, L"B"));
    mgr->AddFit(Fit(1, L"A"));
    mgr->ModifyFitCheckSta(0, 0, true);
    mgr->RecoverFitCheckSta();
    mgr->DelFit();
    mgr->SetLayOutFitName(L"A");
    mgr->CheckDelCondition(Type(1), false);
    EXPECT_FALSE(mgr->DelFit(0, 2));
    EXPECT_FALSE(mgr->ModifyFitName(1, 0, L"X"));
    EXPECT_EQ(1, mgr->GetDataCount());
    EXPECT_EQ(bBefore, mgr->DataChanged());
    EXPECT_TRUE(mgr->ModifyFitName(0, 1, L"Z"));
    EXPECT_TRUE(mgr->DataChanged());
    EXPECT_STREQ(L"A", mgr->GetLayOutFitName());
}

TEST_F(FitLibraryTest, RenameMovesToFrontAndInvalidIndicesChangeNothing)
{
    LoadTwoGroupsOfOneType();
    ASSERT_TRUE(mgr->ModifyFitName(0, 2, L"X"));
    EXPECT_EQ(L"X A B D ", Names(mgr, 3));
    ASSERT_TRUE(mgr->ModifyFitName(0, 0, nullptr));
    EXPECT_EQ(L" A B D ", Names(mgr, 3));
    ASSERT_TRUE(mgr->ModifyFitName(0, 3, L"a"));
    EXPECT_EQ(L"a  A B ", Names(mgr, 3));

    for (int g : {-1, 0, 3}) {
        for (int r : {-1, 0, 4}) {
            if (g == 0 && r == 0)
                continue;
            EXPECT_FALSE(mgr->ModifyFitName(g, r, L"Y"));
            EXPECT_FALSE(mgr->ModifyFitCheckSta(g, r, true));
            EXPECT_FALSE(mgr->DelFit(g, r));
        }
    }
    EXPECT_FALSE(mgr->DelFit(1, 1));
    EXPECT_FALSE(mgr->ModifyFitCheckSta(2, 1, true));
    EXPECT_EQ(L"a  A B ", Names(mgr, 3));
    EXPECT_EQ(3, mgr->GetDataCount());
    EXPECT_TRUE(mgr->CheckDelCondition(Type(3), false));  // nothing got marked
}

TEST_F(FitLibraryTest, LookupsMatchWholeNamesIgnoringCase)
{
    LoadTwoGroupsOfOneType();
    int g = 77, r = 88;
    EXPECT_TRUE(mgr->CheckNameExist(L"f", g, r));
    EXPECT_EQ(2, g);
    EXPECT_EQ(0, r);
    EXPECT_TRUE(mgr->CheckNameExist(L"c"));
    g = 77, r = 88;
    EXPECT_FALSE(mgr->CheckNameExist(L"AB", g, r));
    EXPECT_FALSE(mgr->CheckNameExist(L""));
    EXPECT_EQ(77, g);
    EXPECT_EQ(88, r);
    EXPECT_STREQ(L"A", mgr->GetFitName(L"ab-cd"));
    EXPECT_TRUE(mgr->GetFitName(L"AB-C").IsEmpty());

    FittingData out = Fit(9, L"untouched");
    EXPECT_FALSE(mgr->FindFitDataByFitName(L"Z", out));
    EXPECT_STREQ(L"untouched", out.GetDisplayName());
    std::vector<FittingData> fits(3);
    EXPECT_EQ(0, mgr->FindFitDataArrByFitType(Type(4), fits));
    EXPECT_TRUE(fits.empty());
}

TEST_F(FitLibraryTest, AddFitReplacesByNameInEveryGroupOfItsType)
{
    LoadTwoGroupsOfOneType();
    FittingData c = Fit(3, L"c", 2);
    c.SetCheck(true);
    ASSERT_TRUE(mgr->AddFit(c));
    // First group of type 3: old C gone, new c first; size unchanged.
    EXPECT_EQ(L"c A B D ", Names(mgr, 3));
    FittingData found;
    ASSERT_TRUE(mgr->FindFitDataByFitName(L"C", found));
    EXPECT_EQ(Dump(c), Dump(found));
    EXPECT_TRUE(found.GetCheck());
    // The second group of type 3 got it too; type 5 is untouched.
    int g = -1, r = -1;
    mgr->ModifyFitCheckSta(0, 0, false);
    mgr->DelFit(0, 0);
    ASSERT_TRUE(mgr->CheckNameExist(L"C", g, r));
    EXPECT_EQ(2, g);
    EXPECT_EQ(0, r);
    EXPECT_EQ(L"E ", Names(mgr, 5));

    ASSERT_TRUE(mgr->AddFit(Fit(5, L"A")));
    EXPECT_EQ(L"A E ", Names(mgr, 5));
    EXPECT_EQ(L"A B D ", Names(mgr, 3));
    ASSERT_TRUE(mgr->AddFit(Fit(8, L"New")));
    EXPECT_EQ(4, mgr->GetDataCount());
    ASSERT_TRUE(mgr->CheckNameExist(L"new", g, r));
    EXPECT_EQ(3, g);
}

TEST_F(FitLibraryTest, DeletionKeepsEveryTypeWithOneFitting)
{
    LoadTwoGroupsOfOneType();
    // Only the first group of a type counts.
    EXPECT_TRUE(mgr->CheckDelCondition(Type(3), true));
    EXPECT_FALSE(mgr->CheckDelCondition(Type(5), true));
    EXPECT_FALSE(mgr->CheckDelCondition(Type(6), true));
    EXPECT_FALSE(mgr->CheckDelCondition(Type(6), false));

    for (int r : {0, 1, 3})
        ASSERT_TRUE(mgr->ModifyFitCheckSta(0, r, true));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(2, 0, true));
    EXPECT_TRUE(mgr->CheckDelCondition(Type(3), false));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 2, true));
    EXPECT_FALSE(mgr->CheckDelCondition(Type(3), false));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 2, false));
    EXPECT_EQ(L"A B C D ", Names(mgr, 3));  // marking keeps the order

    // Marked rows go, from every group; emptied groups stay.
    EXPECT_TRUE(mgr->DelFit());
    EXPECT_EQ(L"C ", Names(mgr, 3));
    EXPECT_EQ(3, mgr->GetDataCount());
    EXPECT_FALSE(mgr->CheckNameExist(L"F"));
    EXPECT_TRUE(mgr->DataChanged());

    ASSERT_TRUE(mgr->DelFit(1, 0));
    EXPECT_EQ(3, mgr->GetDataCount());
    EXPECT_EQ(L"", Names(mgr, 5));
    EXPECT_FALSE(mgr->CheckDelCondition(Type(5), false));

    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 0, true));
    EXPECT_TRUE(mgr->RecoverFitCheckSta());
    EXPECT_TRUE(mgr->DelFit());
    EXPECT_EQ(L"C ", Names(mgr, 3));
}
