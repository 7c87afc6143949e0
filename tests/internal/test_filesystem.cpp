#include <gtest/gtest.h>

#include <cstring>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkOs.h"
#include "platform/ZkText.h"

using zktest::Native;
using zktest::ReadBytes;

TEST(TextConversionTest, Utf8AndUtf16RoundTripAndRepairInvalidInput)
{
    const std::wstring units = CString(L"a中\U0001F600").GetString();
    ASSERT_EQ(4u, units.size());  // a, 中, and a surrogate pair
    const std::string utf8 = ZkText::Utf16ToUtf8(units.data(), units.size());
    EXPECT_EQ("a\xE4\xB8\xAD\xF0\x9F\x98\x80", utf8);
    EXPECT_EQ(units, ZkText::Utf8ToUtf16(utf8.data(), utf8.size()));
    // Every byte of an overlong, truncated or surrogate encoding becomes U+FFFD.
    const std::string bad = "\xC0\xAF|\xE4\xB8|\xED\xA0\x80";
    EXPECT_EQ(std::wstring(L"\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD"),
              ZkText::Utf8ToUtf16(bad.data(), bad.size()));
    const wchar_t lone[] = {0xD800, L'x'};
    EXPECT_EQ("\xEF\xBF\xBDx", ZkText::Utf16ToUtf8(lone, 2));
#if !defined(_WIN32)
    EXPECT_EQ("/tmp/Data/\xE8\x8A\x82\xE7\x82\xB9\xE5\x9B\xBE/x.xml",
              ZkFileSystem::NativePath(L"\\tmp\\Data\\节点图\\x.xml"));
#endif
}

TEST(FileSystemTest, InterruptedWriteLeavesTheOldFileAndNoTemporary)
{
    zktest::TempDir dir;
    const std::wstring path = dir.lib() + L"库.xml";
    zktest::WriteBytes(Native(path), "old library");
    CXTPPropExchange px(0, nullptr, L"Lib");
    px.SetCompactMode(1);
    CString big(L'x', 100000);
    px.PX_String(L"Big", big);
    ZkFileSystem::SetWriteFaultForTesting(5000);
    EXPECT_NE(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_EQ("old library", ReadBytes(Native(path)));
    EXPECT_EQ(1u, zktest::FolderEntries(dir.path()).size());
    // The fault is spent: the next write goes through.
    EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_GT(ReadBytes(Native(path)).size(), 100000u);
}

TEST(FileSystemTest, CopyFileOverwritesUnlessAskedNotToAndGuidsAreVersion4)
{
    zktest::TempDir dir;
    const std::wstring folder = dir.lib() + L"节点图\\";
    zktest::WriteBytes(Native(folder + L"a.dwg"), "drawing");
    zktest::WriteBytes(Native(folder + L"b.dwg"), "older");
    EXPECT_EQ(0, CopyFileW((folder + L"a.dwg").c_str(), (folder + L"b.dwg").c_str(), 1));
    EXPECT_EQ("older", ReadBytes(Native(folder + L"b.dwg")));
    EXPECT_NE(0, CopyFileW((folder + L"a.dwg").c_str(), (folder + L"b.dwg").c_str(), 0));
    EXPECT_EQ("drawing", ReadBytes(Native(folder + L"b.dwg")));
    EXPECT_NE(0, CopyFileW((folder + L"a.dwg").c_str(), (folder + L"c.dwg").c_str(), 1));
    EXPECT_EQ("drawing", ReadBytes(Native(folder + L"c.dwg")));
    EXPECT_EQ(0, CopyFileW((folder + L"none.dwg").c_str(), (folder + L"d.dwg").c_str(), 0));
    EXPECT_EQ(3u, zktest::FolderEntries(Native(folder)).size());

    GUID a{}, b{};
    EXPECT_EQ(0, CoCreateGuid(&a));
    EXPECT_EQ(0, CoCreateGuid(&b));
    EXPECT_NE(0, std::memcmp(&a, &b, sizeof a));
    EXPECT_EQ(0x4000, a.Data3 & 0xF000);
}
