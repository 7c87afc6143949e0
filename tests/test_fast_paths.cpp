// The fast paths against the plain procedures they replace, on generated
// lists: the order of fitting-count entries, the name of a node detail's
// copy, and lookups by name and GUID text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

namespace {

// The exchange as written: every pair in order, whole entries swapped.
void PlainOrder(std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    const int n = static_cast<int>(vec.size());
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const stu3Value& a = vec[i].ptPos;
            const stu3Value& b = vec[j].ptPos;
            if (std::fabs(a.x - b.x) <= 0.0001 ? b.y > a.y : a.x > b.x) {
                const PIPE_FIT_COUNT_INFO tmp(vec[i]);
                vec[i] = vec[j];
                vec[j] = tmp;
            }
        }
}

std::wstring Labels(const std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    std::wstring out;
    for (const PIPE_FIT_COUNT_INFO& e : vec)
        out += std::wstring(e.strText1) + L"/" + std::wstring(e.strText4) + L" ";
    return out;
}

}  // namespace

TEST(FastPathTest, FitCountOrderIsThePlainExchangesOrder)
{
    std::mt19937 rng(7);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<PIPE_FIT_COUNT_INFO> none;
    EXPECT_FALSE(NodeDetailEx::SortPipeFitCountInfo(none));
    for (const size_t n : {1, 2, 3, 5, 9, 17, 40, 300, 301}) {
        for (int nTrial = 0; nTrial < (n < 40 ? 60 : 4); ++nTrial) {
            // Columns whose x values step by 0.00005-0.00008, so that they
            // chain; few y values, repeated entries and NaNs.
            std::vector<PIPE_FIT_COUNT_INFO> vec(n);
            for (size_t i = 0; i < n; ++i) {
                const int nKind = static_cast<int>(rng() % 12);
                if (nKind == 0 && i > 0) {
                    vec[i].ptPos = vec[rng() % i].ptPos;
                } else {
                    const double dStep = 0.00005 + (rng() % 31) * 0.000001;
                    vec[i].ptPos.x = (rng() % 4) * 2.5 + (rng() % 6) * dStep;
                    vec[i].ptPos.y = static_cast<double>(rng() % 5);
                }
                if (nKind == 1)
                    vec[i].ptPos.x = nan;
                if (nKind == 2)
                    vec[i].ptPos.y = nan;
                vec[i].strText1 = std::to_wstring(i).c_str();
                vec[i].strText4 = std::to_wstring(i * 7).c_str();
            }
            std::vector<PIPE_FIT_COUNT_INFO> expected = vec;
            PlainOrder(expected);
            EXPECT_TRUE(NodeDetailEx::SortPipeFitCountInfo(vec));
            ASSERT_EQ(Labels(expected), Labels(vec)) << n << " entries, trial " << nTrial;
        }
    }
}

namespace {

CNodeDetailResDataManager* Mgr()
{
    return ZkNodeDetailResDataManager();
}

// The naming as written: format, look the name up ignoring case, count on.
CString PlainCopyName(const std::vector<NodeDetailResData>& list, const CString& strBase)
{
    auto taken = [&list](const CString& s) {
        for (const NodeDetailResData& d : list)
            if (d.GetDisplayName().CompareNoCase(s) == 0)
                return true;
        return false;
    };
    CString strName;
    int n = 1;
    strName.Format(L"%s(%d)", strBase.GetString(), n);
    while (taken(strName))
        strName.Format(L"%s(%d)", strBase.GetString(), ++n);
    return strName;
}

int PlainFind(const std::vector<NodeDetailResData>& list, const CString& s, bool bGuid)
{
    for (size_t i = 0; i < list.size(); ++i)
        if ((bGuid ? list[i].GetGuid() : list[i].GetDisplayName()).CompareNoCase(s) == 0)
            return static_cast<int>(i);
    return -1;
}

// ASCII letters flipped at random; other letters, Ä and ß among them, stay.
std::wstring MixCase(std::wstring s, std::mt19937& rng)
{
    for (wchar_t& c : s)
        if (rng() % 2 == 0 && ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')))
            c ^= 0x20;
    return s;
}

}  // namespace

TEST(FastPathTest, CopyNameAndLookupsAreThePlainLoopsAnswers)
{
    zktest::ResetDataDirectory();
    const std::wstring bases[] = {L"Pump", L"Pump(3)",       L"\u6CF5\u57FA\u7840", L"\u00C4rger",
                                  L"",     L"Stra\u00DFe-2", L"A\U00020000b"};
    // What may follow a base: the counters %d writes, and texts that only look so.
    const std::wstring decoys[] = {
        L"(01)",          L"(0)",          L"(+2)",        L"(-1)",  L"( 1)",     L"(2x)",
        L"(1)x",          L"(1",           L"()",          L"((1))", L"(\uFF11)", L"",
        L"(99999999999)", L"(2147483648)", L"(4294967297)"};
    std::mt19937 rng(11);
    for (int nTrial = 0; nTrial < 400; ++nTrial) {
        const size_t n = 1 + rng() % 50;
        const int nMax = 1 + static_cast<int>(rng() % (n + 3));
        std::vector<NodeDetailResData> list(n);
        for (size_t i = 0; i < n; ++i) {
            std::wstring name = bases[rng() % 7];
            if (rng() % 4 == 0)
                name += decoys[rng() % 15];
            else
                name += L"(" + std::to_wstring(1 + rng() % nMax) + L")";
            if (rng() % 3 == 0)
                name = MixCase(name, rng);
            list[i].SetDisplayName(name.c_str());
            list[i].SetGuid((L"G-" + std::to_wstring(rng() % 40) + L"-x").c_str());
        }
        const size_t nSource = rng() % n;
        list[nSource].SetDisplayName(MixCase(bases[rng() % 7], rng).c_str());

        // Lookups of names and GUID texts in other letter case.
        Mgr()->SetVecNodeDetailResData(list);
        for (int q = 0; q < 4; ++q) {
            const bool bGuid = q % 2 == 1;
            const NodeDetailResData& pick = list[rng() % n];
            const CString s =
                MixCase(std::wstring(bGuid ? pick.GetGuid() : pick.GetDisplayName()), rng).c_str();
            const CString miss = s + L"?";
            NodeDetailResData out;
            EXPECT_EQ(PlainFind(list, s, bGuid),
                      bGuid ? Mgr()->FindDataByGuid(s, out) : Mgr()->FindDataByDisplayName(s, out));
            int nAt = -7;
            EXPECT_FALSE(Mgr()->CheckNameExist(miss, nAt) || Mgr()->FindDataByGuid(miss, out) >= 0);
            EXPECT_EQ(-7, nAt);
        }

        const CString expected = PlainCopyName(list, list[nSource].GetDisplayName());
        Mgr()->CopyNode(static_cast<int>(nSource));  // no files: the record is added all the same
        std::vector<NodeDetailResData> after;
        Mgr()->GetVecNodeDetailResData(after);
        ASSERT_EQ(n + 1, after.size());
        ASSERT_STREQ(expected, after[nSource].GetDisplayName()) << "trial " << nTrial;
    }
    Mgr()->SetVecNodeDetailResData({});
}

TEST(FastPathTest, LookupsTakeTheQueryAsUtf16)
{
    // Beyond the BMP: one wchar_t where it is 32-bit, a surrogate pair in the records.
    const wchar_t* pszName = L"Tee-\U00020000";
    const wchar_t* pszGuid = L"AB-\U0001F600";
    NodeDetailResData rec;
    rec.SetDisplayName(L"x");
    Mgr()->SetVecNodeDetailResData({rec, rec});
    Mgr()->ModifyNodeName(1, pszName);
    NodeDetailResData out;
    EXPECT_EQ(1, Mgr()->FindDataByDisplayName(L"tEE-\U00020000", out));
    EXPECT_TRUE(Mgr()->DelNode(L"TEE-\U00020000"));
    EXPECT_EQ(1, Mgr()->GetDataCount());
    Mgr()->SetVecNodeDetailResData({});

    CFitDataManager* pFit = ZkFitDataManager();
    FittingData fit;
    fit.SetFitType(NodeDetailEx::FittingType(41));
    fit.SetDisplayName(pszName);
    fit.SetGUID(pszGuid);
    pFit->AddFit(fit);
    fit.SetDisplayName(L"tee-\U00020000");
    pFit->AddFit(fit);  // replaces the first: same name ignoring case
    int g = -1, r = -1;
    ASSERT_TRUE(pFit->CheckNameExist(pszName, g, r));
    std::vector<FittingData> group;
    EXPECT_EQ(1, pFit->FindFitDataArrByFitType(NodeDetailEx::FittingType(41), group));
    EXPECT_TRUE(pFit->GetFitName(L"ab-\U0001F600") == L"tee-\U00020000");
    EXPECT_TRUE(pFit->FindFitDataByFitName(L"TEE-\U00020000", fit));
    EXPECT_TRUE(pFit->DelFit(g, r));
}
