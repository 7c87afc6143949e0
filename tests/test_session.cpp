#include <gtest/gtest.h>

#include <vector>

#include "frame/ZkNodeDetail.h"

// The session is process-wide and never forgets a name: every test uses names
// of its own.

TEST(SessionTest, ValuesKeepTheirTypeAndNamesMatchExactly)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    const wchar_t* def = L"default";
    EXPECT_EQ(def, s->GetStr(L"types.absent", def));

    // Each getter gives its default for a value of another type.
    s->Set(L"types.n", 5);
    EXPECT_EQ(5, s->GetInt(L"types.n", 0));
    EXPECT_EQ(1.5, s->GetDouble(L"types.n", 1.5));
    EXPECT_FALSE(s->GetBool(L"types.n", false));
    EXPECT_EQ(def, s->GetStr(L"types.n", def));
    s->Set(L"types.n", L"12");  // looks like a number, stays a text
    EXPECT_EQ(7, s->GetInt(L"types.n", 7));
    EXPECT_STREQ(L"12", s->GetStr(L"types.n", def));
    s->Set(L"types.n", 0.25);
    EXPECT_EQ(0.25, s->GetDouble(L"types.n", 1.0));
    EXPECT_EQ(def, s->GetStr(L"types.n", def));
    s->Set(L"types.n", false);
    EXPECT_FALSE(s->GetBool(L"types.n", true));
    EXPECT_EQ(1, s->GetInt(L"types.n", 1));
    EXPECT_EQ(1.0, s->GetDouble(L"types.n", 1.0));

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

}  // namespace

TEST(SessionTest, TextBuffersOutliveReplacementAndCopies)
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
    s->SetVecPipeFittingEntInfo({});

    // A null text is the empty text, not an absent one.
    s->Set(L"text.null", static_cast<const wchar_t*>(nullptr));
    EXPECT_STREQ(L"", s->GetStr(L"text.null", L"default"));
    s->SetModified(false);
    s->Set(L"text.b", L"x");
    EXPECT_FALSE(s->IsModified());  // Set never touches the flag
}
