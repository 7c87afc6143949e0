#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "fitting/FittingData.h"
#include "platform/CXTPPropExchange.h"

namespace {

ConnectorData Connector(int nIndex, double dAngle)
{
    ConnectorData connector;
    connector.SetIndex(nIndex);
    connector.SetAngle(dAngle);
    return connector;
}

}  // namespace

TEST(FittingRecordsTest, DefaultsCopiesAndConnectorLookup)
{
    const FittingData fresh;
    EXPECT_EQ(1.0, fresh.GetScale());
    EXPECT_EQ(-1, static_cast<int>(fresh.GetFitType()));
    EXPECT_FALSE(fresh.GetCheck());
    EXPECT_TRUE(fresh.GUID().IsEmpty() && fresh.GetDisplayName().IsEmpty());
    EXPECT_EQ(-1, static_cast<int>(ConnectorData().GetConType()));
    EXPECT_EQ(0, ConnectorData().GetIndex());
    EXPECT_EQ(-1, static_cast<int>(FittingInfo().GetFitType()));

    // Connector numbers, not positions: the first of two equal numbers wins.
    FittingData fit;
    fit.SetConnector({Connector(7, 1.0), Connector(3, 2.0), Connector(7, 3.0)});
    ASSERT_NE(nullptr, fit.GetConnectorAt(7));
    EXPECT_EQ(1.0, fit.GetConnectorAt(7)->GetAngle());
    EXPECT_EQ(2.0, fit.GetConnectorAt(3)->GetAngle());
    EXPECT_EQ(nullptr, fit.GetConnectorAt(0));
    EXPECT_EQ(nullptr, fit.GetConnectorAt(2));

    std::vector<ConnectorData> out(5);
    EXPECT_TRUE(fresh.GetConnector(out));
    EXPECT_TRUE(out.empty());

    // Copies are deep.
    FittingInfo group;
    group.SetVecFitData({fit, fit});
    FittingInfo other;
    other = group;
    FittingInfo& alias = other;
    other = alias;
    other.GetVecFitData()[0].SetConnector({});
    EXPECT_EQ(3, group.GetVecFitData()[0].GetConNum());
    EXPECT_EQ(0, other.GetVecFitData()[0].GetConNum());
    EXPECT_EQ(2u, other.GetVecFitData().size());
}

TEST(FittingRecordsTest, ExchangeWritesInFixedOrderAndReadingAppends)
{
    zktest::TempDir dir;
    const std::wstring path = dir.lib() + L"fit.xml";
    FittingData fit;
    fit.SetDisplayName(L"Tee");
    fit.SetCheck(true);
    fit.SetConnector({Connector(1, 0.0), Connector(2, 90.0)});
    FittingInfo group;
    group.SetFitType(static_cast<NodeDetailEx::FittingType>(42));
    group.SetVecFitData({fit});
    {
        CXTPPropExchange px(0, nullptr, L"FitData");
        px.SetCompactMode(1);
        group.DoPropExchange(px.GetSection(L"FitInfo").get());
        ASSERT_EQ(0, px.SaveToFile(path.c_str(), 1));
    }

    const std::string text = zktest::ReadBytes(zktest::Native(path));
    size_t at = text.find("<FitRow");
    ASSERT_NE(std::string::npos, at);
    for (const char* name :
         {"Pos=", "GUID=", "BlockName=", "Scale=", "DisplayName=", "Description=", "Direction=",
          "ButtressPos=", "<vecConnector", "<Connector", "Pos=", "Angle=", "ConType=", "Index="}) {
        const size_t next = text.find(name, at);
        ASSERT_NE(std::string::npos, next) << name;
        at = next;
    }
    EXPECT_EQ(std::string::npos, text.find("Check"));

    CXTPPropExchange px(1, nullptr, L"FitData");
    ASSERT_NE(0, px.LoadFromFile(path.c_str()));
    px.SetCompactMode(1);
    auto section = px.GetSection(L"FitInfo");
    FittingInfo back;
    back.DoPropExchange(section.get());
    back.DoPropExchange(section.get());
    ASSERT_EQ(2u, back.GetVecFitData().size());
    EXPECT_EQ(42, static_cast<int>(back.GetVecFitData()[1].GetFitType()));
    EXPECT_FALSE(back.GetVecFitData()[1].GetCheck());
    EXPECT_EQ(2, back.GetVecFitData()[1].GetConNum());

    auto rows = section->GetEnumerator(L"FitRow");
    POSITION pos = rows->GetPosition(0, 1);
    auto row = rows->GetNext(pos);
    FittingData twice;
    twice.DoPropExchange(row.get());
    twice.DoPropExchange(row.get());
    ASSERT_EQ(4, twice.GetConNum());
    std::vector<ConnectorData> cons;
    twice.GetConnector(cons);
    EXPECT_EQ(90.0, cons[3].GetAngle());
}
