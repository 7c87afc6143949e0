// The accessors, the session's values and the pipe-fitting snapshots it
// hands around. The session is process-wide and never forgets a name: every
// test uses names of its own.

#include <tuple>

#include "TestUtil.h"

TEST(FrameTest, AccessorsReturnTheOneInstance)
{
    EXPECT_NE(nullptr, ZkFitDataManager());
    EXPECT_EQ(CFitDataManager::Instance(), ZkFitDataManager());
    EXPECT_EQ(CNodeDetailResDataManager::Instance(), ZkNodeDetailResDataManager());
    EXPECT_EQ(CNodeDetailSession::Instance(), ZkNodeDetailSession());
    EXPECT_EQ(CFittingObserverManager::Instance(), ZkFittingObserverManager());
}

TEST(SessionTest, ValuesKeepTheirTypeAndNamesMatchExactly)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    const wchar_t* def = L"default";
    // What GetInt, GetDouble, GetBool and GetStr answer after each Set; each
    // getter gives its default (7, 1.5, true, "default") for another type.
    auto answers = [&] {
        return testing::PrintToString(std::make_tuple(
            s->GetInt(L"types.n", 7), s->GetDouble(L"types.n", 1.5), s->GetBool(L"types.n", true),
            std::wstring(s->GetStr(L"types.n", def))));
    };
    EXPECT_EQ(def, s->GetStr(L"types.absent", def));
    s->Set(L"types.n", 5);
    EXPECT_EQ("(5, 1.5, true, L\"default\")", answers());
    s->Set(L"types.n", L"12");  // looks like a number, stays a text
    EXPECT_EQ("(7, 1.5, true, L\"12\")", answers());
    s->Set(L"types.n", 0.25);
    EXPECT_EQ("(7, 0.25, true, L\"default\")", answers());
    s->Set(L"types.n", false);
    EXPECT_EQ("(7, 1.5, false, L\"default\")", answers());

    s->Set(L"names.Width", 1);
    s->Set(L"names.width", 2);
    s->Set(L"", 3);
    EXPECT_EQ(1, s->GetInt(L"names.Width", 0));
    EXPECT_EQ(2, s->GetInt(L"names.width", 0));
    EXPECT_EQ(0, s->GetInt(L"names.WIDTH", 0));
    EXPECT_EQ(3, s->GetInt(L"", 0));
    // A supplementary character and its surrogate pair are one name.
    const wchar_t pair[] = {L'n', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
    s->Set(L"n\U0001F600", 21);  // one unit where wchar_t is 32-bit
    EXPECT_EQ(21, s->GetInt(pair, 0));
    EXPECT_EQ(0, s->GetInt(L"n", 0));
}

namespace {

// Copies of the session can only be destroyed through a derived class.
class SessionCopy : public CNodeDetailSession {
public:
    explicit SessionCopy(const CNodeDetailSession& src) : CNodeDetailSession(src) {}
};

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
    CString name;
    NamedValue value;
    ASSERT_EQ(2, info.m_values.Count());
    ASSERT_TRUE(info.m_values.GetAt(1, name, value));
    EXPECT_TRUE(name == L"tag" && value == NamedValue(L"T1"));
}

}  // namespace

TEST(SessionTest, TextBuffersOutliveReplacementAndCopiesShareValuesNotSnapshots)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    wchar_t caller[] = L"first";
    s->Set(L"text.a", caller);
    caller[0] = L'F';  // the session keeps its own copy
    const wchar_t* first = s->GetStr(L"text.a", nullptr);
    EXPECT_EQ(first, s->GetStr(L"text.a", nullptr));
    s->Set(L"text.a", L"second, longer");
    s->Set(L"text.a", 3);
    s->SetVecPipeFittingEntInfo(std::vector<CPipeFittingEntInfo>(2));
    {
        // A copy shares the values, not the snapshots; its end frees nothing.
        SessionCopy copy(*s);
        copy.Set(L"text.a", L"third");
        copy.GetVecPipeFittingEntInfo().clear();
    }
    EXPECT_STREQ(L"first", first);
    EXPECT_STREQ(L"third", s->GetStr(L"text.a", nullptr));
    EXPECT_EQ(2u, s->GetVecPipeFittingEntInfo().size());

    // A null text is the empty text, not an absent one.
    s->Set(L"text.null", static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(L"", s->GetStr(L"text.null", L"default"));
    s->SetModified(false);
    s->Set(L"text.b", L"x");
    EXPECT_FALSE(s->IsModified());  // Set never touches the flag
}

TEST(SessionTest, SnapshotsCopyDeepAndTheListIsReplaced)
{
    CPipeFittingEntInfo plain;
    EXPECT_EQ(AcGeScale3d(1, 1, 1), plain.m_scale);
    EXPECT_TRUE(plain.m_detail.nValue1 == -1 && plain.m_detail.nValue2 == 1);

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
    for (const CPipeFittingEntInfo* p : {&copy, &assigned, &list[0]})
        ExpectLikeSnapshot(*p);

    CPipeFittingEntInfo& self = copy;
    copy = self;
    ExpectLikeSnapshot(copy);
    assigned = plain;  // no values: the target keeps none
    EXPECT_TRUE(assigned.m_values.Count() == 0 && assigned.m_vecConnector.empty());

    // Changed in place, then handed back whole: nothing is lost.
    list[1].m_detail.nValue1 = 78;
    s->SetVecPipeFittingEntInfo(list);
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(78, list[1].m_detail.nValue1);
    s->SetVecPipeFittingEntInfo({});
    EXPECT_TRUE(list.empty());
}
