// The fitting library: its records as they are written and read, and the
// manager's store, lookups and edits.

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"

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

// The manager is shared by the whole process: every test loads the groups
// it starts from.
class FitLibraryTest : public zktest::LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ASSERT_STREQ(Path().c_str(), mgr->GetFileName());
        // Groups of type 3 (A, B, C, D), 5 (E) and again 3 (F).
        zktest::WriteBytes(
            zktest::Native(Path()),
            "<FitData><FitInfo FitType='3'><FitRow DisplayName='A' GUID='AB-CD'/>"
            "<FitRow DisplayName='B'/><FitRow DisplayName='C'/><FitRow DisplayName='D'/>"
            "</FitInfo><FitInfo FitType='5'><FitRow DisplayName='E'/></FitInfo>"
            "<FitInfo FitType='3'><FitRow DisplayName='F'/></FitInfo></FitData>");
        ASSERT_TRUE(mgr->Load());
        ASSERT_EQ(3, mgr->GetDataCount());
    }

    static std::wstring Path()
    {
        return zktest::DataDirectory() + L"Data\\NodeDetail\\节点图\\管件库\\FitDataEx.xml";
    }

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

    CFitDataManager* mgr = ZkFitDataManager();
};

ConnectorData Connector(int nIndex, double dAngle)
{
    ConnectorData connector;
    connector.SetIndex(nIndex);
    connector.SetAngle(dAngle);
    connector.SetConType(static_cast<Pipe::ConnectionType>(nIndex + 1));
    connector.SetPos(stu3Value(nIndex, -nIndex, 0.125));
    return connector;
}

// Writes the group as the library does and answers the file's bytes.
std::string Saved(FittingInfo& group, const std::wstring& path)
{
    CXTPPropExchange px(0, nullptr, L"FitData");
    px.SetCompactMode(1);
    CXTPPropExchange section = px.GetSection(L"FitInfo");
    group.DoPropExchange(&section);
    EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    return zktest::ReadBytes(zktest::Native(path));
}

}  // namespace

TEST(FittingRecordsTest, ExchangeWritesEveryFieldInOrderAndReadingAppends)
{
    FittingData fit;
    fit.SetPos(stu3Value(1, 2, 3));
    fit.SetGUID(L"G-1");
    fit.SetBlockName(L"BLK");
    fit.SetScale(2.5);
    fit.SetDisplayName(L"Tee");
    fit.SetDescription(L"desc");
    fit.SetDirection(stu3Value(0, -1, 0));
    fit.SetButtressPos(stu3Value(4, 5, 6.5));
    fit.SetCheck(true);
    fit.SetFitType(static_cast<NodeDetailEx::FittingType>(7));
    fit.SetConnector({Connector(1, 0.0), Connector(2, 90.0), Connector(1, 45.0)});
    FittingInfo group;
    group.SetFitType(static_cast<NodeDetailEx::FittingType>(42));
    group.SetVecFitData({fit});
    const std::wstring path = zktest::DataDirectory() + L"fit.xml";
    const std::string text = Saved(group, path);

    // Fields and connectors in the order the host writes them.
    const char* const parts[] = {
        "<FitInfo FitType=\"42\">",
        ("<FitRow Pos=\"1,2,3\" GUID=\"G-1\" BlockName=\"BLK\" Scale=\"2.5\" DisplayName=\"Tee\" "
         "Description=\"desc\" Direction=\"0,-1,0\" ButtressPos=\"4,5,6.5\">"),
        "<vecConnector>",
        "<Connector Pos=\"1,-1,0.125\" Angle=\"0\" ConType=\"2\" Index=\"1\" />",
        "<Connector Pos=\"2,-2,0.125\" Angle=\"90\" ConType=\"3\" Index=\"2\" />",
        "<Connector Pos=\"1,-1,0.125\" Angle=\"45\" ConType=\"2\" Index=\"1\" />"};
    size_t at = 0;
    for (const char* part : parts) {
        at = text.find(part, at);
        ASSERT_NE(std::string::npos, at) << part << " in " << text;
    }
    EXPECT_EQ(std::string::npos, text.find("Check"));

    CXTPPropExchange px(1, nullptr, L"FitData");
    ASSERT_NE(0, px.LoadFromFile(path.c_str()));
    px.SetCompactMode(1);
    auto section = px.GetSection(L"FitInfo");
    FittingInfo back;
    back.DoPropExchange(&section);
    EXPECT_EQ(text, Saved(back, zktest::DataDirectory() + L"again.xml"));  // every field read back
    back.DoPropExchange(&section);
    ASSERT_EQ(2u, back.GetVecFitData().size());  // with the group's type, unchecked
    EXPECT_TRUE(back.GetVecFitData()[1].GetFitType() == 42 && !back.GetVecFitData()[1].GetCheck());

    // Connectors are found by their number, the first of equal numbers winning.
    FittingData& row = back.GetVecFitData()[0];
    ASSERT_TRUE(row.GetConnectorAt(1) != nullptr && row.GetConnectorAt(2) != nullptr);
    EXPECT_TRUE(row.GetConnectorAt(1)->GetAngle() == 0 && row.GetConnectorAt(2)->GetAngle() == 90);
    EXPECT_TRUE(row.GetConnectorAt(0) == nullptr && row.GetConnectorAt(3) == nullptr);
    // Reading a row again appends its connectors.
    CXTPPropExchangeEnumerator rows = section.GetEnumerator(L"FitRow");
    POSITION pos = rows.GetPosition(0, 1);
    CXTPPropExchange first = rows.GetNext(pos);
    row.DoPropExchange(&first);
    std::vector<ConnectorData> cons(9);
    EXPECT_TRUE(row.GetConnector(cons));
    ASSERT_EQ(6u, cons.size());
    EXPECT_EQ(45.0, cons[5].GetAngle());
}

// Loading and saving, good and bad files, are in the bad-input corpus; the
// changed flag is with the node-detail tests.
TEST_F(FitLibraryTest, RenameMovesToFrontAndInvalidIndicesChangeNothing)
{
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

TEST_F(FitLibraryTest, DeletionKeepsEveryTypeWithOneFitting)
{
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

TEST_F(FitLibraryTest, LookupsMatchWholeNamesIgnoringCaseAndAddFitReachesEveryGroup)
{
    EXPECT_EQ("2:0", Where(L"f"));
    EXPECT_EQ("", Where(L"AB"));
    EXPECT_EQ("", Where(L""));
    EXPECT_STREQ(L"A", mgr->GetFitName(L"ab-cd"));
    EXPECT_TRUE(mgr->GetFitName(L"AB-C").IsEmpty());
    FittingData found = Fit(9, L"untouched");
    std::vector<FittingData> fits(3);
    EXPECT_FALSE(mgr->FindFitDataByFitName(L"Z", found) ||
                 mgr->FindFitDataArrByFitType(FT(4), fits) != 0);
    EXPECT_TRUE(found.GetDisplayName() == L"untouched" && fits.empty());

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
    EXPECT_TRUE(mgr->SetLayOutFitName(L"New"));  // kept as given, never looked up
    EXPECT_STREQ(L"New", mgr->GetLayOutFitName());
}

// A row written again through the same exchange holds what the second write
// gave it: its "vecConnector" section is the one already there, emptied, so
// only the second set of connectors is in the file.
TEST_F(FitLibraryTest, ARowWrittenAgainHoldsOnlyItsLastConnectors)
{
    FittingData fit = Fit(4, L"Tee");
    fit.SetConnector({Connector(1, 0.0), Connector(2, 90.0), Connector(3, 180.0)});
    {
        CXTPPropExchange px(0, nullptr, L"FitData");
        px.SetCompactMode(1);
        px.EmptySection();
        CXTPPropExchangeEnumerator groups = px.GetEnumerator(L"FitInfo");
        POSITION pos = groups.GetPosition(0, 1);
        CXTPPropExchange group = groups.GetNext(pos);
        int nType = 4;
        group.PX_Int(L"FitType", nType);
        CXTPPropExchangeEnumerator rows = group.GetEnumerator(L"FitRow");
        pos = rows.GetPosition(0, 1);
        CXTPPropExchange row = rows.GetNext(pos);
        fit.DoPropExchange(&row);
        fit.SetDisplayName(L"Elbow");
        fit.SetConnector({Connector(7, 45.0)});
        fit.DoPropExchange(&row);
        ASSERT_EQ(0, px.SaveToFile(Path().c_str(), 1));
    }
    const std::string text = zktest::ReadBytes(zktest::Native(Path()));
    EXPECT_EQ(text.find("<vecConnector"), text.rfind("<vecConnector")) << text;
    ASSERT_TRUE(mgr->Load());
    std::vector<FittingData> fits;
    ASSERT_EQ(1, mgr->FindFitDataArrByFitType(FT(4), fits));
    std::vector<ConnectorData> cons;
    fits[0].GetConnector(cons);
    ASSERT_EQ(1u, cons.size());
    EXPECT_TRUE(fits[0].GetDisplayName() == L"Elbow" && cons[0].GetIndex() == 7 &&
                cons[0].GetAngle() == 45.0 && cons[0].GetConType() == 8);
}
