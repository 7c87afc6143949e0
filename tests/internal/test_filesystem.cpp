#include <gtest/gtest.h>

#include <cstring>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"
#include "platform/internal/DataDirectory.h"
#include "platform/internal/FileSystem.h"
#include "platform/internal/Os.h"
#include "platform/internal/Text.h"

using zktest::Native;
using zktest::ReadBytes;

// Invalid UTF-8 input is in the bad-input corpus; what is left is the way out.
TEST(TextConversionTest, LoneSurrogatesAndNativePaths)
{
    const wchar_t units[] = {L'a', 0x4E2D, 0xD83D, 0xDE00, 0xD800, L'x'};
    EXPECT_EQ("a\xE4\xB8\xAD\xF0\x9F\x98\x80\xEF\xBF\xBDx", ZkText::Utf16ToUtf8(units, 6));
#if !defined(_WIN32)
    EXPECT_EQ("/tmp/Data/\xE8\x8A\x82\xE7\x82\xB9\xE5\x9B\xBE/x.xml",
              ZkToNativePath(L"\\tmp\\Data\\节点图\\x.xml"));
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
    EXPECT_EQ(0, CopyFileW((folder + L"none.dwg").c_str(), (folder + L"d.dwg").c_str(), 0));
    EXPECT_EQ(2u, zktest::FolderEntries(Native(folder)).size());

    GUID a{}, b{};
    EXPECT_EQ(0, CoCreateGuid(&a));
    EXPECT_EQ(0, CoCreateGuid(&b));
    EXPECT_NE(0, std::memcmp(&a, &b, sizeof a));
    EXPECT_EQ(0x4000, a.Data3 & 0xF000);
}

TEST(HostServicesTest, DataDirectoryFallback)
{
    // Without a host the directory is still a usable library path.
    IZkHostApplication* const testHost = ZkGetHostApplication();
    ZkSetHostApplication(nullptr);
    const CString fallback = GetDataDirectory();
    ZkSetHostApplication(testHost);
    ASSERT_FALSE(fallback.IsEmpty());
    EXPECT_EQ(L'\\', fallback.GetAt(fallback.GetLength() - 1));
    EXPECT_EQ(-1, fallback.Find(L"/"));
}
