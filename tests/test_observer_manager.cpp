#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "frame/ZkNodeDetail.h"

namespace {

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

}  // namespace

TEST_F(ObserverManagerTest, ReleaseDeletesWhatIsRegisteredOnceAndKeepsPostedRecords)
{
    std::vector<PIPE_FIT_COUNT_INFO> posted(2), out(3);
    posted[1].nValue1 = 2;
    mgr->SetVecPipeFitCountInfo(out);
    mgr->SetVecPipeFitCountInfo(posted);  // replaces
    posted[0].nValue1 = 5;
    mgr->SetOnePipeFitCountInfo(posted[0]);
    PIPE_FIT_MODIFYNAME rename;
    rename.strName1 = L"Tee";
    rename.strName2 = L"Tee-2";
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
    EXPECT_EQ(nullptr, mgr->GetObserver());
    EXPECT_EQ(nullptr, mgr->GetFacServer());
    EXPECT_EQ(1, nDestroyedB);  // through the base, the derived part too
    EXPECT_EQ(0, nDestroyedA);

    mgr->GetVecPipeFitCountInfo(out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(2, out[1].nValue1);
    mgr->GetOnePipeFitCountInfo(out[0]);
    EXPECT_EQ(5, out[0].nValue1);
    PIPE_FIT_MODIFYNAME got;
    mgr->GetFitModifyName(got);
    EXPECT_STREQ(L"Tee", got.strName1);
    EXPECT_STREQ(L"Tee-2", got.strName2);
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
    session->SetModified(false);
    EXPECT_EQ(3u, cb.calls.size());
}
