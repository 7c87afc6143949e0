#include <gtest/gtest.h>

#include <vector>

#include "frame/ZkNodeDetail.h"

namespace {

struct RecordingCallback : ICallback {
    int HandleNotify(int nCode, const wchar_t* pszText) override
    {
        codes.push_back(nCode);
        texts.push_back(pszText);
        return 99;
    }
    std::vector<int> codes;
    std::vector<const wchar_t*> texts;
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
    void SetUp() override { ZkFittingObserverManager()->Release(); }
    void TearDown() override { ZkFittingObserverManager()->Release(); }
};

PIPE_FIT_COUNT_INFO Info(int n)
{
    PIPE_FIT_COUNT_INFO info;
    info.nValue1 = n;
    return info;
}

}  // namespace

TEST(FittingObserverTest, DispatchReachesTheCallbackUnchanged)
{
    CFittingObserver observer;
    observer.Dispatch(1, L"ignored");  // no callback yet
    RecordingCallback cb;
    observer.SetCallback(&cb);
    const wchar_t* text = L"payload";
    observer.Dispatch(17, text);
    observer.Dispatch(-3, nullptr);
    EXPECT_EQ((std::vector<int>{17, -3}), cb.codes);
    EXPECT_EQ((std::vector<const wchar_t*>{text, nullptr}), cb.texts);

    CFittingObserver copy(observer);
    observer.SetCallback(nullptr);
    observer.Dispatch(5, nullptr);
    copy.Dispatch(6, nullptr);
    EXPECT_EQ((std::vector<int>{17, -3, 6}), cb.codes);

    ICallback plain;
    EXPECT_EQ(0, plain.HandleNotify(4, nullptr));
    observer.SetCallback(&plain);
    observer.Dispatch(4, L"x");
}

TEST_F(ObserverManagerTest, PostedRecordsAreReplacedAndCopiedOut)
{
    CFittingObserverManager* mgr = ZkFittingObserverManager();
    mgr->SetVecPipeFitCountInfo({Info(1), Info(2)});
    std::vector<PIPE_FIT_COUNT_INFO> out = {Info(7), Info(8), Info(9)};
    mgr->GetVecPipeFitCountInfo(out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(2, out[1].nValue1);
    out[0].nValue1 = 42;  // a copy: reading again gives the posted list
    mgr->GetVecPipeFitCountInfo(out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(1, out[0].nValue1);
    mgr->SetVecPipeFitCountInfo({});
    mgr->GetVecPipeFitCountInfo(out);
    EXPECT_TRUE(out.empty());

    PIPE_FIT_COUNT_INFO one;
    mgr->SetOnePipeFitCountInfo(Info(5));
    mgr->GetOnePipeFitCountInfo(one);
    EXPECT_EQ(5, one.nValue1);

    PIPE_FIT_MODIFYNAME rename, got;
    rename.strName1 = L"Tee";
    rename.strName2 = L"Tee-2";
    mgr->SetFitModifyName(rename);

    // Release frees the registrations but keeps what was posted.
    mgr->Release();
    mgr->GetOnePipeFitCountInfo(one);
    EXPECT_EQ(5, one.nValue1);
    mgr->GetFitModifyName(got);
    EXPECT_STREQ(L"Tee", got.strName1);
    EXPECT_STREQ(L"Tee-2", got.strName2);
    mgr->SetOnePipeFitCountInfo(PIPE_FIT_COUNT_INFO());
    mgr->SetFitModifyName(PIPE_FIT_MODIFYNAME());
}

TEST_F(ObserverManagerTest, ReleaseDeletesEachRegisteredObjectOnce)
{
    CFittingObserverManager* mgr = ZkFittingObserverManager();
    EXPECT_EQ(nullptr, mgr->GetObserver());
    EXPECT_EQ(nullptr, mgr->GetFacServer());

    int nDestroyedA = 0;
    int nDestroyedB = 0;
    auto* serverA = new CountingServer(nDestroyedA);
    auto* observerA = new CFittingObserver;
    mgr->SetFacServer(serverA);
    mgr->SetObserver(observerA);
    // Replacing leaves the earlier objects to their creator.
    auto* serverB = new CountingServer(nDestroyedB);
    auto* observerB = new CFittingObserver;
    mgr->SetFacServer(serverB);
    mgr->SetObserver(observerB);
    EXPECT_EQ(serverB, mgr->GetFacServer());
    EXPECT_EQ(observerB, mgr->GetObserver());

    // Under the sanitizer build a missed or repeated delete of either
    // observer shows as a leak or a double free.
    mgr->Release();
    EXPECT_EQ(nullptr, mgr->GetObserver());
    EXPECT_EQ(nullptr, mgr->GetFacServer());
    EXPECT_EQ(1, nDestroyedB);  // the derived part too
    EXPECT_EQ(0, nDestroyedA);
    mgr->Release();
    EXPECT_EQ(1, nDestroyedB);
    delete serverA;
    delete observerA;
}

TEST_F(ObserverManagerTest, SessionFlagChangesAreDispatchedAsCodeFour)
{
    CNodeDetailSession* session = ZkNodeDetailSession();
    session->SetModified(false);  // no observer yet: nothing to hear it

    RecordingCallback cb;
    auto* observer = new CFittingObserver;
    observer->SetCallback(&cb);
    ZkFittingObserverManager()->SetObserver(observer);

    session->SetModified(false);
    session->SetModified(true);
    session->SetModified(true);
    session->Set(L"observer.value", 1);  // values never notify
    EXPECT_TRUE(session->IsModified());
    session->SetModified(false);
    EXPECT_FALSE(session->IsModified());
    EXPECT_EQ((std::vector<int>{4, 4}), cb.codes);
    EXPECT_EQ((std::vector<const wchar_t*>{nullptr, nullptr}), cb.texts);

    // Without an observer the flag still follows.
    ZkFittingObserverManager()->Release();
    session->SetModified(true);
    EXPECT_TRUE(session->IsModified());
    session->SetModified(false);
    EXPECT_FALSE(session->IsModified());
    EXPECT_EQ(2u, cb.codes.size());
}
