#include <gtest/gtest.h>

#include <vector>

#include "frame/ZkNodeDetail.h"

namespace {

CPipeFittingEntInfo Snapshot()
{
    CPipeFittingEntInfo info;
    info.m_scale = AcGeScale3d(2, 3, 4);
    info.m_vecConnector.resize(3);
    info.m_vecConnector[2].strText = L"con2";
    info.m_detail.ptPos2 = stu3Value(7, 8, 9);
    info.m_detail.strText3 = L"detail";
    info.m_detail.nValue2 = 6;
    info.m_values.SetAt(L"len", NamedValue(12.5));
    info.m_values.SetAt(L"tag", NamedValue(L"T1"));
    return info;
}

void ExpectLikeSnapshot(const CPipeFittingEntInfo& info)
{
    EXPECT_EQ(AcGeScale3d(2, 3, 4), info.m_scale);
    ASSERT_EQ(3u, info.m_vecConnector.size());
    EXPECT_STREQ(L"con2", info.m_vecConnector[2].strText);
    EXPECT_EQ(9.0, info.m_detail.ptPos2.z);
    EXPECT_STREQ(L"detail", info.m_detail.strText3);
    EXPECT_EQ(6, info.m_detail.nValue2);
    ASSERT_EQ(2, info.m_values.Count());
    CString name;
    NamedValue value;
    ASSERT_TRUE(info.m_values.GetAt(1, name, value));
    EXPECT_STREQ(L"tag", name);
    EXPECT_TRUE(value == NamedValue(L"T1"));
}

}  // namespace

TEST(PipeFittingEntInfoTest, CopiesAreDeepAndTheSessionListIsReplaced)
{
    CPipeFittingEntInfo plain;
    EXPECT_EQ(AcGeScale3d(1, 1, 1), plain.m_scale);
    EXPECT_EQ(-1, plain.m_detail.nValue1);
    EXPECT_EQ(1, plain.m_detail.nValue2);

    CPipeFittingEntInfo src = Snapshot();
    CPipeFittingEntInfo copy(src);
    CPipeFittingEntInfo assigned;
    assigned.m_values.SetAt(L"stale", NamedValue(1));
    assigned.m_vecConnector.resize(5);
    assigned = src;
    CNodeDetailSession* s = ZkNodeDetailSession();
    std::vector<CPipeFittingEntInfo>& list = s->GetVecPipeFittingEntInfo();
    s->SetVecPipeFittingEntInfo(std::vector<CPipeFittingEntInfo>(3));
    s->SetVecPipeFittingEntInfo({src, plain});
    // Changing the source afterwards reaches no copy.
    src.m_vecConnector[2].strText = L"changed";
    src.m_detail.strText3 = L"changed";
    src.m_values.SetAt(L"tag", NamedValue(L"changed"));
    src.m_values.SetAt(L"extra", NamedValue(true));
    ExpectLikeSnapshot(copy);
    ExpectLikeSnapshot(assigned);
    ASSERT_EQ(2u, list.size());
    ExpectLikeSnapshot(list[0]);

    CPipeFittingEntInfo& self = copy;
    copy = self;
    ExpectLikeSnapshot(copy);
    assigned = plain;  // no values: the target keeps none
    EXPECT_EQ(0, assigned.m_values.Count());
    EXPECT_TRUE(assigned.m_vecConnector.empty());

    // Changed in place, then handed back whole: nothing is lost.
    list[1].m_detail.nValue1 = 78;
    s->SetVecPipeFittingEntInfo(list);
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(78, list[1].m_detail.nValue1);
    s->SetVecPipeFittingEntInfo({});
    EXPECT_TRUE(list.empty());
}
