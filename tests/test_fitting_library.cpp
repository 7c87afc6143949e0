#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

namespace {

using FT = NodeDetailEx::FittingType;

FittingData Fit(int nType, const wchar_t* pszName, bool bCheck = false)
{
    FittingData fit;
    fit.SetFitType(FT(nType));
    fit.SetDisplayName(pszName);
    fit.SetCheck(bCheck);
    return fit;
}

// The manager is shared by the whole process: every test starts from an
// empty library folder and an empty list.
class FitLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zktest::ResetDataDirectory();
        std::filesystem::create_directories(File().parent_path());
        mgr->Update();
        mgr->RecoverFitCheckSta();
        ASSERT_EQ(0, mgr->GetDataCount());
        ASSERT_STREQ(Path().c_str(), mgr->GetFileName());
    }

    static std::wstring Path()
    {
        return zktest::DataDirectory() + L"Data\\NodeDetail\\节点图\\管件库\\FitDataEx.xml";
    }
    static std::filesystem::path File() { return zktest::Native(Path()); }

    // Display names of the first group of a type, in order.
    std::wstring Names(int nType)
    {
        std::vector<FittingData> fits;
        mgr->FindFitDataArrByFitType(FT(nType), fits);
        std::wstring names;
        for (const FittingData& fit : fits)
            names += std::wstring(fit.GetDisplayName()) + L" ";
        return names;
    }

    // "group:row" of the first fitting of that name, "" when there is none.
    std::string Where(const wchar_t* pszName)
    {
        int g = 77, r = 88;
        if (mgr->CheckNameExist(pszName, g, r))
            return std::to_string(g) + ":" + std::to_string(r);
        EXPECT_TRUE(g == 77 && r == 88);  // untouched
        EXPECT_FALSE(mgr->CheckNameExist(pszName));
        return "";
    }

    // Groups of type 3 (A, B, C, D), 5 (E) and again 3 (F), as a file holds them.
    void LoadTwoGroupsOfOneType()
    {
        zktest::WriteBytes(
            File(),
            "<FitData><FitInfo FitType='3'><FitRow DisplayName='A' GUID='AB-CD'/>"
            "<FitRow DisplayName='B'/><FitRow DisplayName='C'/><FitRow DisplayName='D'/>"
            "</FitInfo><FitInfo FitType='5'><FitRow DisplayName='E'/></FitInfo>"
            "<FitInfo FitType='3'><FitRow DisplayName='F'/></FitInfo></FitData>");
        ASSERT_TRUE(mgr->Load());
        ASSERT_EQ(3, mgr->GetDataCount());
    }

    CFitDataManager* mgr = ZkFitDataManager();
};

}  // namespace

// The flag is never lowered, so each way of raising it is a test of its own;
// the checks mean something when the test runs first in its process (as under
// ctest), otherwise the flag is already up.
class FitLibraryFlagTest : public FitLibraryTest, public ::testing::WithParamInterface<int> {};

TEST_P(FitLibraryFlagTest, OnlyLoadRenameAndDeletionRaiseTheChangedFlag)
{
    const bool bBefore = mgr->DataChanged();
    for (const wchar_t* name : {L"A", L"B", L"A"})  // the newest comes first
        mgr->AddFit(Fit(1, name));
    EXPECT_FALSE(mgr->Load());  // no file yet: the list stays
    mgr->ModifyFitCheckSta(0, 0, true);
    mgr->RecoverFitCheckSta();
    mgr->DelFit();
    mgr->SetLayOutFitName(L"A");
    mgr->CheckDelCondition(FT(1), false);
    EXPECT_FALSE(mgr->DelFit(0, 2));
    EXPECT_FALSE(mgr->ModifyFitName(1, 0, L"X"));
    ASSERT_TRUE(mgr->Save());
    EXPECT_EQ(L"A B ", Names(1));
    EXPECT_EQ(bBefore, mgr->DataChanged());
    EXPECT_STREQ(L"A", mgr->GetLayOutFitName());
    switch (GetParam()) {
    case 0:
        EXPECT_TRUE(mgr->ModifyFitName(0, 1, L"Z"));
        break;
    case 1:
        EXPECT_TRUE(mgr->DelFit(0, 1));
        break;
    case 2:
        EXPECT_TRUE(mgr->ModifyFitCheckSta(0, 1, true));
        EXPECT_TRUE(mgr->DelFit());
        break;
    case 3:  // loading twice gives the saved list, not a doubled one
        EXPECT_TRUE(mgr->Load());
        EXPECT_TRUE(mgr->Load());
        EXPECT_EQ(L"A B ", Names(1));
        EXPECT_EQ(1, mgr->GetDataCount());
        break;
    default:  // a file that is there but unreadable empties the list
        zktest::WriteBytes(File(), "<FitData><FitInfo");
        EXPECT_FALSE(mgr->Load());
        EXPECT_EQ(0, mgr->GetDataCount());
    }
    EXPECT_TRUE(mgr->DataChanged());
    ASSERT_TRUE(mgr->Save());
    EXPECT_TRUE(mgr->DataChanged());  // saving does not lower it
    // Without a file, Update empties the list.
    std::filesystem::remove(File());
    EXPECT_TRUE(mgr->Update());
    EXPECT_EQ(0, mgr->GetDataCount());
}

INSTANTIATE_TEST_SUITE_P(EachWay, FitLibraryFlagTest, ::testing::Range(0, 5));

TEST_F(FitLibraryTest, RenameMovesToFrontAndInvalidIndicesChangeNothing)
{
    LoadTwoGroupsOfOneType();
    ASSERT_TRUE(mgr->ModifyFitName(0, 2, L"X"));
    EXPECT_EQ(L"X A B D ", Names(3));
    ASSERT_TRUE(mgr->ModifyFitName(0, 3, nullptr));
    EXPECT_EQ(L" X A B ", Names(3));
    // Rows are counted within their own group (0: 4 rows, 1 and 2: one).
    for (int g : {-1, 0, 1, 2, 3}) {
        for (int r : {-1, 1, 4}) {
            if (g == 0 && r == 1)
                continue;
            EXPECT_FALSE(mgr->ModifyFitName(g, r, L"Y"));
            EXPECT_FALSE(mgr->ModifyFitCheckSta(g, r, true));
            EXPECT_FALSE(mgr->DelFit(g, r));
        }
    }
    EXPECT_TRUE(mgr->DelFit());  // nothing got marked
    EXPECT_EQ(L" X A B ", Names(3));
    EXPECT_EQ(L"E ", Names(5));
    EXPECT_EQ("2:0", Where(L"F"));
}

TEST_F(FitLibraryTest, LookupsMatchWholeNamesIgnoringCaseAndAddFitReachesEveryGroup)
{
    LoadTwoGroupsOfOneType();
    EXPECT_EQ("2:0", Where(L"f"));
    EXPECT_EQ("", Where(L"AB"));
    EXPECT_EQ("", Where(L""));
    EXPECT_STREQ(L"A", mgr->GetFitName(L"ab-cd"));
    EXPECT_TRUE(mgr->GetFitName(L"AB-C").IsEmpty());
    FittingData found = Fit(9, L"untouched");
    EXPECT_FALSE(mgr->FindFitDataByFitName(L"Z", found));
    EXPECT_STREQ(L"untouched", found.GetDisplayName());
    std::vector<FittingData> fits(3);
    EXPECT_EQ(0, mgr->FindFitDataArrByFitType(FT(4), fits));
    EXPECT_TRUE(fits.empty());

    // Lookups see the first group of a type; AddFit replaces by name in each.
    ASSERT_TRUE(mgr->AddFit(Fit(3, L"c", true)));
    EXPECT_EQ(L"c A B D ", Names(3));
    ASSERT_TRUE(mgr->FindFitDataByFitName(L"C", found));
    EXPECT_TRUE(found.GetCheck());
    ASSERT_TRUE(mgr->DelFit(0, 0));
    EXPECT_EQ("2:0", Where(L"C"));
    ASSERT_TRUE(mgr->AddFit(Fit(5, L"A")));  // other types keep their own
    EXPECT_EQ(L"A E ", Names(5));
    EXPECT_EQ(L"A B D ", Names(3));
    ASSERT_TRUE(mgr->AddFit(Fit(8, L"New")));
    EXPECT_EQ("3:0", Where(L"new"));
}

TEST_F(FitLibraryTest, DeletionKeepsEveryTypeWithOneFitting)
{
    LoadTwoGroupsOfOneType();
    EXPECT_TRUE(mgr->CheckDelCondition(FT(3), true));
    EXPECT_FALSE(mgr->CheckDelCondition(FT(5), true));
    EXPECT_FALSE(mgr->CheckDelCondition(FT(6), true));
    EXPECT_FALSE(mgr->CheckDelCondition(FT(6), false));
    for (int r : {0, 1, 3})
        ASSERT_TRUE(mgr->ModifyFitCheckSta(0, r, true));
    EXPECT_TRUE(mgr->CheckDelCondition(FT(3), false));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 2, true));
    EXPECT_FALSE(mgr->CheckDelCondition(FT(3), false));  // F of the second group does not count
    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 2, false));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(2, 0, true));
    EXPECT_EQ(L"A B C D ", Names(3));  // marking keeps the order

    // Marked rows go, from every group; emptied groups stay.
    EXPECT_TRUE(mgr->DelFit());
    EXPECT_EQ(L"C ", Names(3));
    EXPECT_EQ("", Where(L"F"));
    ASSERT_TRUE(mgr->DelFit(1, 0));
    EXPECT_EQ(3, mgr->GetDataCount());
    EXPECT_EQ(L"", Names(5));
    EXPECT_FALSE(mgr->CheckDelCondition(FT(5), false));
    ASSERT_TRUE(mgr->ModifyFitCheckSta(0, 0, true));
    EXPECT_TRUE(mgr->RecoverFitCheckSta());
    EXPECT_TRUE(mgr->DelFit());
    EXPECT_EQ(L"C ", Names(3));
}
