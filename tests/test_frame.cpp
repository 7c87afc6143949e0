#include <gtest/gtest.h>

#include "frame/ZkNodeDetail.h"

TEST(FrameTest, AccessorsReturnTheOneInstance)
{
    EXPECT_NE(nullptr, ZkFitDataManager());
    EXPECT_EQ(ZkFitDataManager(), ZkFitDataManager());
    EXPECT_EQ(CFitDataManager::Instance(), ZkFitDataManager());
    EXPECT_EQ(CNodeDetailResDataManager::Instance(), ZkNodeDetailResDataManager());
    EXPECT_EQ(ZkNodeDetailResDataManager(), ZkNodeDetailResDataManager());
    EXPECT_EQ(CNodeDetailSession::Instance(), ZkNodeDetailSession());
    EXPECT_EQ(ZkNodeDetailSession(), ZkNodeDetailSession());
    EXPECT_EQ(CFittingObserverManager::Instance(), ZkFittingObserverManager());
    EXPECT_EQ(ZkFittingObserverManager(), ZkFittingObserverManager());
}
