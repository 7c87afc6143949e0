// The observer bridge: what the manager holds and releases, the session's
// notice through it, the posted records' equality and their ordering.

#include <limits>
#include <utility>

#include "TestUtil.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Calls = std::vector<std::pair<int, const wchar_t*>>;

struct RecordingCallback : ICallback {
    int HandleNotify(int nCode, const wchar_t* pszText) override
    {
        calls.emplace_back(nCode, pszText);
        return 99;
    }
    Calls calls;
};

struct CountingServer : IFittingFacServer {
    explicit CountingServer(int& nDestroyed) : m_nDestroyed(nDestroyed) {}
    ~CountingServer() override { ++m_nDestroyed; }
    bool CollectFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>&) override { return true; }
    bool ApplyFitModifyName(const PIPE_FIT_MODIFYNAME&) override { return true; }
    int& m_nDestroyed;
};

// The manager is process-wide: every test starts and ends with nothing
// registered.
class ObserverManagerTest : public ::testing::Test {
protected:
    void SetUp() override { mgr->Release(); }
    void TearDown() override { mgr->Release(); }
    CFittingObserverManager* mgr = ZkFittingObserverManager();
};

// Whether base equals a copy of itself after change; asked both ways round.
template <typename T, typename F>
bool EqualAfter(const T& base, F change)
{
    T a(base), b(base);
    change(b);
    const bool bEqual = a == b;
    EXPECT_EQ(bEqual, b == a);
    return bEqual;
}

// Sorts entries labelled A, B, ... at the given (x, y) pairs and answers the
// labels in their new order; each label sits in two texts, to see that whole
// entries move.
std::wstring Sorted(const std::vector<double>& xy)
{
    std::vector<PIPE_FIT_COUNT_INFO> vec(xy.size() / 2);
    for (size_t i = 0; i < vec.size(); ++i) {
        vec[i].ptPos = stu3Value(xy[2 * i], xy[2 * i + 1], 0.0);
        vec[i].strText1 = vec[i].strText4 = std::wstring(1, static_cast<wchar_t>(L'A' + i)).c_str();
    }
    EXPECT_TRUE(NodeDetailEx::SortPipeFitCountInfo(vec));
    std::wstring order;
    for (const PIPE_FIT_COUNT_INFO& info : vec) {
        EXPECT_STREQ(info.strText1, info.strText4);
        order += info.strText1.GetString();
    }
    return order;
}

}  // namespace

TEST_F(ObserverManagerTest, ReleaseDeletesWhatIsRegisteredOnceAndKeepsPostedRecords)
{
    std::vector<PIPE_FIT_COUNT_INFO> posted(2), out(3);
    posted[1].nValue1 = 2;
    mgr->SetVecPipeFitCountInfo(out);
    mgr->SetVecPipeFitCountInfo(posted);  // replaces
    posted[0].nValue1 = 5;
    mgr->SetOnePipeFitCountInfo(posted[0]);
    PIPE_FIT_MODIFYNAME rename, got;
    rename.strName1 = L"Tee";
    mgr->SetFitModifyName(rename);

    int nDestroyedA = 0, nDestroyedB = 0;
    CountingServer serverA(nDestroyedA);
    CFittingObserver observerA;
    mgr->SetFacServer(&serverA);
    mgr->SetObserver(&observerA);
    // Replacing leaves the earlier objects to their creator.
    mgr->SetFacServer(new CountingServer(nDestroyedB));
    mgr->SetObserver(new CFittingObserver);
    // Under the sanitizer build a missed or repeated delete of the observer
    // shows as a leak or a double free.
    mgr->Release();
    mgr->Release();
    EXPECT_TRUE(mgr->GetObserver() == nullptr && mgr->GetFacServer() == nullptr);
    EXPECT_EQ(1, nDestroyedB);  // through the base, the derived part too
    EXPECT_EQ(0, nDestroyedA);

    mgr->GetVecPipeFitCountInfo(out);
    mgr->GetOnePipeFitCountInfo(out[0]);
    mgr->GetFitModifyName(got);
    EXPECT_TRUE(out.size() == 2 && out[0].nValue1 == 5 && out[1].nValue1 == 2);
    EXPECT_TRUE(got.strName1 == L"Tee" && got.strName2.IsEmpty());
}

TEST_F(ObserverManagerTest, SessionFlagChangesAreDispatchedAsCodeFour)
{
    CNodeDetailSession* session = ZkNodeDetailSession();
    session->SetModified(false);  // no observer yet: nothing to hear it
    CFittingObserver proto;
    proto.Dispatch(1, L"ignored");  // no callback yet
    RecordingCallback cb;
    proto.SetCallback(&cb);
    mgr->SetObserver(new CFittingObserver(proto));  // copies share the callback
    proto.SetCallback(nullptr);
    proto.Dispatch(5, nullptr);
    const wchar_t* text = L"payload";
    mgr->GetObserver()->Dispatch(17, text);
    for (bool b : {false, true, true, false}) {
        session->SetModified(b);
        EXPECT_EQ(b, session->IsModified());
    }
    session->Set(L"observer.value", 1);  // values never notify
    EXPECT_EQ(Calls({{17, text}, {4, nullptr}, {4, nullptr}}), cb.calls);

    // Without an observer the flag still follows.
    mgr->Release();
    session->SetModified(true);
    EXPECT_TRUE(session->IsModified());
}

TEST(RecordEqualityTest, FitCountInfoComparesItsKeyFieldsOnly)
{
    using I = PIPE_FIT_COUNT_INFO;
    I a;
    EXPECT_TRUE(a.nValue1 == -1 && a.nValue2 == 300 && a.nValue3 == 100 && a.strText1.IsEmpty());
    a.strText2 = L"Elbow";
    a.strText4 = L"dn100";
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.ptPos = stu3Value(5, 6, 7); }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText1 = L"x"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText3 = L"y"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText2 = L"ELBOW"; }));
    EXPECT_TRUE(EqualAfter(a, [](I& b) { b.strText4 = L"DN100"; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue1 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue2 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.nValue3 += 1; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.strText2 += L"s"; }));
    EXPECT_FALSE(EqualAfter(a, [](I& b) { b.strText4 += L"s"; }));
}

TEST(RecordEqualityTest, ConnectorToleranceIsInclusiveAndNaNEqualsNothing)
{
    using C = stConnector;
    C a;
    EXPECT_EQ(-1, a.nValue2);
    a.strText = L"Flange";
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.dValue = 0.0001; }));  // the edge itself
    a.dValue = 1.0;
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.dValue = 1.0001; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.dValue = 1.00011; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.dValue = kNaN; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.ptPos.y = 1e-12; }));  // position exact
    EXPECT_TRUE(EqualAfter(a, [](C& b) { b.ptPos.y = -0.0; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.strText = L"flange"; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.nValue1 = 1; }));
    EXPECT_FALSE(EqualAfter(a, [](C& b) { b.nValue2 = 0; }));
    // Two copies holding a NaN differ.
    a.dValue = kNaN;
    EXPECT_FALSE(EqualAfter(a, [](C&) {}));
    EXPECT_FALSE(a == a);
    a.dValue = 1.0;
    a.ptPos.z = kNaN;
    EXPECT_FALSE(EqualAfter(a, [](C&) {}));
}

TEST(SortPipeFitCountInfoTest, ColumnsLeftToRightTopToBottomInAFixedExchangeOrder)
{
    std::vector<PIPE_FIT_COUNT_INFO> empty;
    EXPECT_FALSE(NodeDetailEx::SortPipeFitCountInfo(empty));
    const std::pair<std::vector<double>, const wchar_t*> cases[] = {
        {{3, 4}, L"A"},
        {{5, 0, 1, 0, 3, 0}, L"BCA"},
        {{2, 1, 2, 5, 2, 3}, L"BCA"},
        {{1, 1, 0, 0, 1, 2, 0, 3}, L"DBCA"},
        // x within 0.0001, the edge included, is one column: y decides.
        {{1.0, 0, 1.00005, 9}, L"BA"},
        {{0.0, 0, 0.0001, 1}, L"BA"},
        {{0.00011, 0, 0.0, 0}, L"BA"},
        // Two equal entries stay put; with a third they need not keep their order.
        {{0, 0, 0, 0}, L"AB"},
        {{1, 0, 1, 0, 0, 0}, L"CBA"},
        // Chained tolerance: A and C lie more than 0.0001 apart, yet B links them.
        {{0, 0, 0.00008, 1, 0.00016, 2}, L"CBA"},
        {{0, 2, 0.00008, 1, 0.00016, 0}, L"ABC"},
        {{0, 0, 0.00008, 1, 0.00016, 2, 0.00024, 3}, L"DCBA"},
        {{0.00016, 0, 0.00008, -1, 0, 5, 0.00024, -2}, L"CABD"},
        // A NaN fails every test, so nothing moves.
        {{kNaN, 0, 0, 0}, L"AB"},
        {{1, 0, 1, kNaN}, L"AB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, Sorted(c.first));
}
