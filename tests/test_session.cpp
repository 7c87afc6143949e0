#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "frame/ZkNodeDetail.h"

// The session is process-wide and never forgets a name: every test uses names
// of its own.

TEST(SessionTest, ValuesKeepTheirTypeAndFallBackToTheDefault)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    const wchar_t* def = L"default";
    EXPECT_EQ(def, s->GetStr(L"types.absent", def));
    EXPECT_EQ(nullptr, s->GetStr(L"types.absent", nullptr));
    EXPECT_EQ(3, s->GetInt(L"types.absent", 3));

    s->Set(L"types.n", 5);
    EXPECT_EQ(5, s->GetInt(L"types.n", 0));
    EXPECT_EQ(1.5, s->GetDouble(L"types.n", 1.5));
    EXPECT_TRUE(s->GetBool(L"types.n", true));
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
}

TEST(SessionTest, NamesMatchExactlyAsUtf16)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    s->Set(L"names.Width", 1);
    s->Set(L"names.width", 2);
    s->Set(L"", 3);
    EXPECT_EQ(1, s->GetInt(L"names.Width", 0));
    EXPECT_EQ(2, s->GetInt(L"names.width", 0));
    EXPECT_EQ(0, s->GetInt(L"names.WIDTH", 0));
    EXPECT_EQ(0, s->GetInt(L"names.widt", 0));
    EXPECT_EQ(3, s->GetInt(L"", 0));

    // A supplementary character and its surrogate pair are one name; units
    // above 0x7FFF find their own entries.
    const wchar_t astral[] = L"n\U0001F600";  // one unit where wchar_t is 32-bit
    const wchar_t pair[] = {L'n', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
    const wchar_t high[] = {L'n', static_cast<wchar_t>(0xFFFF), 0};
    const wchar_t priv[] = {L'n', static_cast<wchar_t>(0xE000), 0};
    s->Set(astral, 21);
    s->Set(high, 22);
    s->Set(priv, 23);
    EXPECT_EQ(21, s->GetInt(pair, 0));
    EXPECT_EQ(22, s->GetInt(high, 0));
    EXPECT_EQ(23, s->GetInt(priv, 0));
    EXPECT_EQ(0, s->GetInt(L"n", 0));
}

TEST(SessionTest, TextBuffersOutliveReplacement)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    wchar_t caller[] = L"first";
    s->Set(L"text.a", caller);
    caller[0] = L'F';  // the session keeps its own copy
    const wchar_t* first = s->GetStr(L"text.a", nullptr);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, s->GetStr(L"text.a", nullptr));

    s->Set(L"text.a", L"second, longer");
    s->Set(L"text.a", 3);
    s->Set(L"text.a", L"third");
    EXPECT_STREQ(L"first", first);
    EXPECT_STREQ(L"third", s->GetStr(L"text.a", nullptr));

    // A null text is the empty text, not an absent one.
    s->Set(L"text.null", static_cast<const wchar_t*>(nullptr));
    const wchar_t* empty = s->GetStr(L"text.null", L"default");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, std::wcslen(empty));

    s->SetModified(false);
    s->Set(L"text.b", L"x");
    EXPECT_FALSE(s->IsModified());  // Set never touches the flag
}

namespace {

// Copies of the session can only be destroyed through a derived class.
class SessionCopy : public CNodeDetailSession {
public:
    explicit SessionCopy(const CNodeDetailSession& src) : CNodeDetailSession(src) {}
};

}  // namespace

TEST(SessionTest, CopiesShareValuesAndOwnTheirSnapshots)
{
    CNodeDetailSession* s = ZkNodeDetailSession();
    s->Set(L"copy.a", 1);
    s->SetVecPipeFittingEntInfo(std::vector<CPipeFittingEntInfo>(2));
    {
        SessionCopy copy(*s);
        EXPECT_EQ(1, copy.GetInt(L"copy.a", 0));
        copy.Set(L"copy.b", L"through the copy");
        copy.GetVecPipeFittingEntInfo().clear();
    }
    // The copy's end frees nothing of the session's.
    EXPECT_STREQ(L"through the copy", s->GetStr(L"copy.b", nullptr));
    EXPECT_EQ(2u, s->GetVecPipeFittingEntInfo().size());
    s->SetVecPipeFittingEntInfo({});
}
