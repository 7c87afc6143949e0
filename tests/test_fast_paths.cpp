// The one-pass procedures against the plain ones they replace, on generated
// lists: the order of fitting-count entries, a copy's name, and lookups of
// texts beyond the Basic Multilingual Plane.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

std::wstring Labels(const std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    std::wstring out;
    for (const PIPE_FIT_COUNT_INFO& e : vec)
        out += std::wstring(e.strText1) + L" ";
    return out;
}

// The naming as written: format, look the name up ignoring case, count on.
CString PlainCopyName(const std::vector<NodeDetailResData>& list, const CString& strBase)
{
    CString strName;
    for (int n = 1;; ++n) {
        strName.Format(L"%s(%d)", strBase.GetString(), n);
        bool bTaken = false;
        for (const NodeDetailResData& d : list)
            bTaken = bTaken || d.GetDisplayName().CompareNoCase(strName) == 0;
        if (!bTaken)
            return strName;
    }
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

TEST(FastPathTest, FitCountOrderIsThePlainExchangesOrder)
{
    std::mt19937 rng(7);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const size_t n : {1, 2, 3, 5, 9, 17, 40, 301}) {
        for (int nTrial = 0; nTrial < (n < 40 ? 60 : 4); ++nTrial) {
            // x steps of 0.00005-0.00008 chain columns; few y values, repeated
            // entries and NaNs.
            std::vector<PIPE_FIT_COUNT_INFO> vec(n);
            for (size_t i = 0; i < n; ++i) {
                const int nKind = static_cast<int>(rng() % 12);
                const double dStep = 0.00005 + (rng() % 31) * 0.000001;
                vec[i].ptPos = nKind == 0 && i > 0
                                   ? vec[rng() % i].ptPos
                                   : stu3Value((rng() % 4) * 2.5 + (rng() % 6) * dStep,
                                               static_cast<double>(rng() % 5), 0);
                if (nKind == 1 || nKind == 2)
                    (nKind == 1 ? vec[i].ptPos.x : vec[i].ptPos.y) = nan;
                vec[i].strText1 = std::to_wstring(i).c_str();
            }
            // The exchange as written: every pair in order, whole entries swapped.
            std::vector<PIPE_FIT_COUNT_INFO> expected = vec;
            for (size_t i = 0; i < n; ++i)
                for (size_t j = i + 1; j < n; ++j) {
                    const stu3Value a = expected[i].ptPos, b = expected[j].ptPos;
                    if (std::fabs(a.x - b.x) <= 0.0001 ? b.y > a.y : a.x > b.x)
                        std::swap(expected[i], expected[j]);
                }
            EXPECT_TRUE(NodeDetailEx::SortPipeFitCountInfo(vec));
            ASSERT_EQ(Labels(expected), Labels(vec)) << n << " entries, trial " << nTrial;
        }
    }
}

TEST(FastPathTest, CopyNameIsThePlainLoopsAnswer)
{
    zktest::ResetDataDirectory();
    CNodeDetailResDataManager* mgr = ZkNodeDetailResDataManager();
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
            std::wstring name = bases[rng() % 7] +
                                (rng() % 4 == 0 ? decoys[rng() % 15]
                                                : L"(" + std::to_wstring(1 + rng() % nMax) + L")");
            list[i].SetDisplayName((rng() % 3 == 0 ? MixCase(name, rng) : name).c_str());
        }
        const size_t nSource = rng() % n;
        list[nSource].SetDisplayName(MixCase(bases[rng() % 7], rng).c_str());
        mgr->SetVecNodeDetailResData(list);
        const CString expected = PlainCopyName(list, list[nSource].GetDisplayName());
        mgr->CopyNode(static_cast<int>(nSource));  // no files: the record is added all the same
        std::vector<NodeDetailResData> after;
        mgr->GetVecNodeDetailResData(after);
        ASSERT_EQ(n + 1, after.size());
        ASSERT_STREQ(expected, after[nSource].GetDisplayName()) << "trial " << nTrial;
    }
    mgr->SetVecNodeDetailResData({});
}

TEST(FastPathTest, LookupsTakeQueriesBeyondTheBmpAsUtf16)
{
    // One wchar_t each where it is 32-bit, a surrogate pair in the records.
    CNodeDetailResDataManager* mgr = ZkNodeDetailResDataManager();
    NodeDetailResData rec(L"x"), found;
    rec.SetGuid(L"AB-\U0001F600");
    mgr->SetVecNodeDetailResData({rec, rec});
    mgr->ModifyNodeName(1, L"Tee-\U00020000");
    EXPECT_EQ(1, mgr->FindDataByDisplayName(L"tEE-\U00020000", found));
    EXPECT_EQ(0, mgr->FindDataByGuid(L"ab-\U0001F600", found));
    EXPECT_TRUE(mgr->DelNode(L"TEE-\U00020000") && mgr->GetDataCount() == 1);
    mgr->SetVecNodeDetailResData({});

    CFitDataManager* fit = ZkFitDataManager();
    FittingData data;
    data.SetFitType(NodeDetailEx::FittingType(41));
    data.SetGUID(L"AB-\U0001F600");
    for (const wchar_t* pszName : {L"Tee-\U00020000", L"tee-\U00020000"}) {
        data.SetDisplayName(pszName);
        fit->AddFit(data);  // the second replaces the first: same name ignoring case
    }
    int g = -1, r = -1;
    ASSERT_TRUE(fit->CheckNameExist(L"TEE-\U00020000", g, r));
    EXPECT_TRUE(fit->GetFitName(L"ab-\U0001F600") == L"tee-\U00020000");
    std::vector<FittingData> group;
    EXPECT_EQ(1, fit->FindFitDataArrByFitType(NodeDetailEx::FittingType(41), group));
    EXPECT_TRUE(fit->DelFit(g, r));
}
