#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "fitting/FittingData.h"
#include "platform/CXTPPropExchange.h"

using zktest::TempDir;

namespace {

ConnectorData MakeConnector(int nIndex, double dAngle, int nConType)
{
    ConnectorData connector;
    connector.SetIndex(nIndex);
    connector.SetAngle(dAngle);
    connector.SetConType(static_cast<Pipe::ConnectionType>(nConType));
    connector.SetPos(stu3Value(nIndex, -0.5, 1e-7));
    return connector;
}

// Writes the group under a "FitData" root and reads the file into `into`.
void WriteThenRead(const std::wstring& path, FittingInfo& group, FittingInfo& into)
{
    {
        CXTPPropExchange px(0, nullptr, L"FitData");
        px.SetCompactMode(1);
        group.DoPropExchange(px.GetSection(L"FitInfo").get());
        ASSERT_EQ(0, px.SaveToFile(path.c_str(), 1));
    }
    CXTPPropExchange px(1, nullptr, L"FitData");
    ASSERT_NE(0, px.LoadFromFile(path.c_str()));
    px.SetCompactMode(1);
    into.DoPropExchange(px.GetSection(L"FitInfo").get());
}

}  // namespace

TEST(FittingRecordsTest, DefaultsCopiesAndConnectorLookup)
{
    const FittingData fresh;
    EXPECT_EQ(1.0, fresh.GetScale());
    EXPECT_EQ(NodeDetailEx::kFittingTypeNone, fresh.GetFitType());
    EXPECT_FALSE(fresh.GetCheck());
    EXPECT_TRUE(fresh.GUID().IsEmpty() && fresh.GetBlockName().IsEmpty() &&
                fresh.GetDisplayName().IsEmpty() && fresh.GetDescription().IsEmpty());
    EXPECT_EQ(0, fresh.GetConNum());
    EXPECT_EQ(-1, static_cast<int>(ConnectorData().GetConType()));
    EXPECT_EQ(0, ConnectorData().GetIndex());
    EXPECT_EQ(-1, static_cast<int>(FittingInfo().GetFitType()));

    // Connector numbers, not positions: the first of two equal numbers wins.
    FittingData fit;
    fit.SetConnector({MakeConnector(7, 1.0, 2), MakeConnector(3, 2.0, 2), MakeConnector(7, 3.0, 2)});
    ASSERT_NE(nullptr, fit.GetConnectorAt(7));
    EXPECT_EQ(1.0, fit.GetConnectorAt(7)->GetAngle());
    EXPECT_EQ(2.0, fit.GetConnectorAt(3)->GetAngle());
    EXPECT_EQ(nullptr, fit.GetConnectorAt(0));
    EXPECT_EQ(nullptr, fit.GetConnectorAt(2));

    std::vector<ConnectorData> out(5);
    EXPECT_TRUE(fresh.GetConnector(out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(fit.GetConnector(out));
    ASSERT_EQ(3u, out.size());
    EXPECT_EQ(3, out[1].GetIndex());

    // Copies are deep: changing one leaves the other alone.
    FittingData copy(fit);
    copy.SetConnector({});
    FittingData& alias = copy;
    copy = alias;
    EXPECT_EQ(0, copy.GetConNum());
    EXPECT_EQ(3, fit.GetConNum());
    FittingInfo group;
    group.SetVecFitData({fit, fit});
    FittingInfo other;
    other = group;
    other.GetVecFitData()[0].SetDisplayName(L"changed");
    EXPECT_TRUE(group.GetVecFitData()[0].GetDisplayName().IsEmpty());
    EXPECT_EQ(2u, other.GetVecFitData().size());
}

TEST(FittingRecordsTest, ExchangeKeepsEveryStoredFieldAndItsOrder)
{
    TempDir dir;
    const std::wstring path = dir.lib() + L"fit.xml";

    FittingData fit;
    fit.SetGUID(L"6F9619FF-8B86-D011-B42D-00C04FC964FF");
    fit.SetPos(stu3Value(1.5, -2.25, 0.1));
    fit.SetBlockName(L"TEE_DN100");
    fit.SetScale(2.5);
    fit.SetDisplayName(L"\u4E09\u901A Tee");
    fit.SetDescription(L"a \"quoted\" <text> & more");
    fit.SetDirection(stu3Value(0, 0, -1));
    fit.SetButtressPos(stu3Value(1e300, -3.0, 1.0 / 3.0));
    fit.SetConnector({MakeConnector(2, 90.0, 4), MakeConnector(1, -45.5, 0)});
    fit.SetCheck(true);
    fit.SetFitType(static_cast<NodeDetailEx::FittingType>(9));

    FittingInfo group;
    group.SetFitType(static_cast<NodeDetailEx::FittingType>(42));
    group.SetVecFitData({fit, FittingData()});
    FittingInfo back;
    WriteThenRead(path, group, back);

    EXPECT_EQ(42, static_cast<int>(back.GetFitType()));
    ASSERT_EQ(2u, back.GetVecFitData().size());
    const FittingData& got = back.GetVecFitData()[0];
    EXPECT_STREQ(fit.GUID(), got.GUID());
    EXPECT_STREQ(fit.GetBlockName(), got.GetBlockName());
    EXPECT_STREQ(fit.GetDisplayName(), got.GetDisplayName());
    EXPECT_STREQ(fit.GetDescription(), got.GetDescription());
    EXPECT_EQ(2.5, got.GetScale());
    EXPECT_EQ(-2.25, got.GetPos().y);
    EXPECT_EQ(-1.0, got.GetDirection().z);
    EXPECT_EQ(1e300, got.GetButtressPos().x);
    EXPECT_EQ(1.0 / 3.0, got.GetButtressPos().z);
    // Type comes from the group, the mark is never stored.
    EXPECT_EQ(42, static_cast<int>(got.GetFitType()));
    EXPECT_FALSE(got.GetCheck());
    std::vector<ConnectorData> cons;
    got.GetConnector(cons);
    ASSERT_EQ(2u, cons.size());
    EXPECT_EQ(2, cons[0].GetIndex());
    EXPECT_EQ(90.0, cons[0].GetAngle());
    EXPECT_EQ(4, static_cast<int>(cons[0].GetConType()));
    EXPECT_EQ(1e-7, cons[0].GetPos().z);
    EXPECT_EQ(-45.5, cons[1].GetAngle());
    EXPECT_EQ(0, static_cast<int>(cons[1].GetConType()));
    EXPECT_EQ(1.0, back.GetVecFitData()[1].GetScale());
    EXPECT_EQ(0, back.GetVecFitData()[1].GetConNum());

    // Properties land in the file in their fixed order.
    const std::string text = zktest::ReadBytes(zktest::Native(path));
    size_t at = text.find("<FitRow");
    ASSERT_NE(std::string::npos, at);
    for (const char* name : {"Pos=", "GUID=", "BlockName=", "Scale=", "DisplayName=",
                             "Description=", "Direction=", "ButtressPos=", "<vecConnector",
                             "<Connector", "Pos=", "Angle=", "ConType=", "Index="}) {
        const size_t next = text.find(name, at);
        ASSERT_NE(std::string::npos, next) << name;
        at = next;
    }
    EXPECT_EQ(std::string::npos, text.find("Check"));

    // Reading appends: into the same group twice doubles it, and a fitting
    // read twice from one section doubles its connectors.
    WriteThenRead(path, group, back);
    EXPECT_EQ(4u, back.GetVecFitData().size());
    CXTPPropExchange px(1, nullptr, L"FitData");
    ASSERT_NE(0, px.LoadFromFile(path.c_str()));
    px.SetCompactMode(1);
    auto section = px.GetSection(L"FitInfo");
    auto rows = section->GetEnumerator(L"FitRow");
    POSITION pos = rows->GetPosition(0, 1);
    auto row = rows->GetNext(pos);
    FittingData twice;
    twice.DoPropExchange(row.get());
    twice.DoPropExchange(row.get());
    EXPECT_EQ(4, twice.GetConNum());
    EXPECT_EQ(9, static_cast<int>(FittingData(fit).GetFitType()));
}

TEST(FittingRecordsTest, MissingConnectorSectionAndUnreadablePositionLeaveDefaults)
{
    TempDir dir;
    const std::wstring path = dir.lib() + L"fit.xml";
    zktest::WriteBytes(zktest::Native(path),
                       "<FitData><FitInfo FitType=\"3\">"
                       "<FitRow DisplayName=\"bare\" Pos=\"not numbers\" Direction=\"1,2,3\"/>"
                       "</FitInfo></FitData>");
    CXTPPropExchange px(1, nullptr, L"FitData");
    ASSERT_NE(0, px.LoadFromFile(path.c_str()));
    px.SetCompactMode(1);
    FittingInfo group;
    group.DoPropExchange(px.GetSection(L"FitInfo").get());
    ASSERT_EQ(1u, group.GetVecFitData().size());
    const FittingData& got = group.GetVecFitData()[0];
    EXPECT_STREQ(L"bare", got.GetDisplayName());
    EXPECT_EQ(0, got.GetConNum());
    EXPECT_EQ(1.0, got.GetScale());
    EXPECT_EQ(0.0, got.GetPos().x);
    EXPECT_EQ(3.0, got.GetDirection().z);
    EXPECT_EQ(3, static_cast<int>(got.GetFitType()));
}
