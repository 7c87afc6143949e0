// White-box tests of the platform layer, through the static variant of the
// library: the file layer's fault hook and copies, GUIDs, the data directory
// fallback, and sorting without allocation.

#include <cstdlib>
#include <cstring>
#include <new>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/internal/files/DataDirectory.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/files/Os.h"
#include "platform/internal/text/Unicode.h"

using zktest::Native;
using zktest::ReadBytes;

TEST(FileSystemTest, InterruptedWriteLeavesTheOldFileAndNoTemporary)
{
    zktest::ResetDataDirectory();
    const std::wstring path = zktest::DataDirectory() + L"库.xml";
    zktest::WriteBytes(Native(path), "old library");
    CXTPPropExchange px(0, nullptr, L"Lib");
    px.SetCompactMode(1);
    CString big(L'x', 100000);
    px.PX_String(L"Big", big);
    ZkFileSystem::SetWriteFaultForTesting(5000);
    EXPECT_NE(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_EQ("old library", ReadBytes(Native(path)));
    EXPECT_EQ(1u, zktest::FolderEntries(zktest::NativeDataDirectory()).size());
    // The fault is spent: the next write goes through.
    EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_GT(ReadBytes(Native(path)).size(), 100000u);
}

TEST(FileSystemTest, CopyFileOverwritesUnlessAskedNotToAndGuidsAreVersion4)
{
    const std::wstring folder = zktest::DataDirectory() + L"节点图\\";
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

// Counts every allocation of the process (array and nothrow forms fall back on
// this one), to show that comparing and sorting allocate nothing.
namespace {
long g_nNewCalls = 0;
}

void* operator new(std::size_t n)
{
    ++g_nNewCalls;
    if (void* p = std::malloc(n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(NodeDetailAllocationTest, SortingDoesNotAllocate)
{
    const wchar_t* stems[] = {L"\u7BA1\u9053\u652F\u67B6-Detail ", L"Detail-0",
                              L"detail_77777777777777777777777777777777x"};
    std::vector<NodeDetailResData> v;
    for (int i = 0; i < 300; ++i)
        v.emplace_back((stems[i % 3] + std::to_wstring(i * 7919 % 257) + L"." +
                        std::to_wstring(i % 13) + L"b long enough for the heap")
                           .c_str());
    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    pMgr->SetVecNodeDetailResData(v);
    const long before = g_nNewCalls;
    pMgr->SortData();  // thousands of comparisons, long digit runs among them
    EXPECT_EQ(before, g_nNewCalls);
    pMgr->GetVecNodeDetailResData(v);
    for (size_t i = 1; i < v.size(); ++i)
        EXPECT_FALSE(v[i] < v[i - 1]) << i;
    pMgr->SetVecNodeDetailResData({});
}
