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
    connector.SetConType(static_cast<Pipe::ConnectionType>(nIndex + 1));
    connector.SetPos(stu3Value(nIndex, -nIndex, 0.125));
    return connector;
}

// Writes the group as the library does and answers the file's bytes.
std::string Saved(FittingInfo& group, const std::wstring& path)
{
    CXTPPropExchange px(0, nullptr, L"FitData");
    px.SetCompactMode(1);
    group.DoPropExchange(px.GetSection(L"FitInfo").get());
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
    zktest::TempDir dir;
    const std::wstring path = dir.lib() + L"fit.xml";
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
    back.DoPropExchange(section.get());
    EXPECT_EQ(text, Saved(back, dir.lib() + L"again.xml"));  // every field read back
    back.DoPropExchange(section.get());
    ASSERT_EQ(2u, back.GetVecFitData().size());
    EXPECT_EQ(42, static_cast<int>(back.GetVecFitData()[1].GetFitType()));
    EXPECT_FALSE(back.GetVecFitData()[1].GetCheck());

    // Connectors are found by their number, the first of equal numbers winning.
    FittingData& row = back.GetVecFitData()[0];
    ASSERT_NE(nullptr, row.GetConnectorAt(1));
    EXPECT_EQ(0.0, row.GetConnectorAt(1)->GetAngle());
    EXPECT_EQ(90.0, row.GetConnectorAt(2)->GetAngle());
    EXPECT_EQ(nullptr, row.GetConnectorAt(0));
    EXPECT_EQ(nullptr, row.GetConnectorAt(3));
    // Reading a row again appends its connectors.
    auto rows = section->GetEnumerator(L"FitRow");
    POSITION pos = rows->GetPosition(0, 1);
    row.DoPropExchange(rows->GetNext(pos).get());
    std::vector<ConnectorData> cons(9);
    EXPECT_TRUE(row.GetConnector(cons));
    ASSERT_EQ(6u, cons.size());
    EXPECT_EQ(45.0, cons[5].GetAngle());
}
