// What Save does to the file it replaces, what it leaves beside it, and what
// the library will open: regular files only.

#include "TestUtil.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#else
#include <process.h>
#include <windows.h>
#endif

namespace fs = std::filesystem;
using zktest::Library;
using zktest::ReadBytes;

namespace {

// False where the system or its runtime makes no symbolic links.
bool MakeSymlink(const fs::path& target, const fs::path& link)
{
#if defined(_WIN32)
    // Wine reports success and makes nothing.
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), 0x2) != 0 &&  // unprivileged
           GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    std::error_code ec;
    fs::create_symlink(target, link, ec);
    return !ec;
#endif
}

class FileIdentityTest : public zktest::LibraryTest {
protected:
    void SetUp() override
    {
        zktest::LibraryTest::SetUp();
        zktest::WriteBytes(lib.file, zktest::NodeDetailXml(3, 0));
        ASSERT_TRUE(lib.load());
        zktest::WriteBytes(lib.file, "old");
    }
    Library lib = Library::NodeDetail();
};

}  // namespace

#if !defined(_WIN32)
TEST_F(FileIdentityTest, SaveKeepsModeOwnerGroupAndExtendedAttributes)
{
    const mode_t oldMask = umask(027);
    for (const mode_t mode : {0664, 0660, 0600, 0751}) {
        chmod(lib.file.c_str(), mode);
        ASSERT_TRUE(lib.save());
        struct stat st;
        ASSERT_EQ(0, stat(lib.file.c_str(), &st));
        EXPECT_EQ(mode, st.st_mode & 07777);
    }
    umask(oldMask);
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(lib.file.c_str(), 1234, 5678));
        ASSERT_TRUE(lib.save());
        struct stat st;
        ASSERT_EQ(0, stat(lib.file.c_str(), &st));
        EXPECT_TRUE(st.st_uid == 1234 && st.st_gid == 5678);
    }
    if (setxattr(lib.file.c_str(), "user.zknd", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    ASSERT_TRUE(lib.save());
    char value[8] = {};
    EXPECT_EQ(4, getxattr(lib.file.c_str(), "user.zknd", value, sizeof value));
    EXPECT_STREQ("kept", value);
    EXPECT_NE("old", ReadBytes(lib.file));
}
#else
TEST_F(FileIdentityTest, SaveKeepsAttributes)
{
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(lib.file.c_str(), attributes));
    ASSERT_TRUE(lib.save());
    EXPECT_EQ(attributes, GetFileAttributesW(lib.file.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_NE("old", ReadBytes(lib.file));
}
#endif

// A chain of links stays a chain, and the file at its end gets the library;
// a second hard link keeps the old library (a backup made with links stays a
// backup).
TEST_F(FileIdentityTest, LinksStayLinksAndHardLinksKeepTheOldContent)
{
    const fs::path shared = zktest::NativeDataDirectory() / "shared";
    zktest::WriteBytes(shared / "real.xml", "old");
    fs::remove(lib.file);
    if (MakeSymlink(fs::path("..") / "shared" / "real.xml", shared / "middle.xml") &&
        MakeSymlink(fs::relative(shared, lib.file.parent_path()) / "middle.xml", lib.file)) {
        ASSERT_TRUE(lib.save());
        EXPECT_TRUE(fs::is_symlink(lib.file) && fs::is_symlink(shared / "middle.xml"));
        EXPECT_EQ(ReadBytes(lib.file), ReadBytes(shared / "real.xml"));
        EXPECT_NE("old", ReadBytes(shared / "real.xml"));
        EXPECT_EQ(2u, zktest::FolderEntries(shared).size());
        EXPECT_EQ(1u, zktest::FolderEntries(lib.file.parent_path()).size());
        fs::remove(lib.file);
    } else {
        std::printf("note: no symbolic links here\n");
    }
    zktest::WriteBytes(lib.file, "old");
    fs::create_hard_link(lib.file, shared / "backup.xml");
    ASSERT_TRUE(lib.save());
    EXPECT_EQ("old", ReadBytes(shared / "backup.xml"));
    EXPECT_NE("old", ReadBytes(lib.file));
}

// Temporary files of earlier saves of this library whose processes are gone
// are removed by the next successful save; those of a running process, of
// another file, or of another pattern stay.
TEST_F(FileIdentityTest, SaveRemovesOnlyItsOwnDeadLeftovers)
{
#if !defined(_WIN32)
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string running = std::to_string(getppid());
#else
    const long dead = 0x7FFFFFFC;  // never a process id
    const std::string running = std::to_string(_getpid());
#endif
    const std::string name = lib.file.filename().string();
    const std::string dying = name + ".tmp" + std::to_string(dead) + ".";
    const std::vector<std::string> kept = {name + ".tmp" + running + ".7", dying + "x",
                                           "FitDataEx.xml" + dying.substr(name.size()) + "1",
                                           name + ".tmp.1", name};
    for (const std::string& file : kept)
        zktest::WriteBytes(lib.file.parent_path() / file, "x");
    zktest::WriteBytes(lib.file.parent_path() / (dying + "1"), "left");
    zktest::WriteBytes(lib.file.parent_path() / (dying + "22"), "left");
    ASSERT_TRUE(lib.save());
    std::vector<std::string> entries = zktest::FolderEntries(lib.file.parent_path());
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, entries);
}

// A FIFO, a device or a folder where a file is expected: false or 0 at once,
// never a read that blocks or does not end.
TEST_F(FileIdentityTest, OnlyRegularFilesAreReadOrCopied)
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const fs::path folder = lib.file.parent_path();
    NodeDetailResData pump(L"Pump");
    pump.SetGuid(L"G-PUMP");
    std::vector<std::function<void(const fs::path&)>> makers = {
        [](const fs::path& p) { fs::create_directory(p); }};
#if !defined(_WIN32)
    makers.push_back([](const fs::path& p) { ASSERT_EQ(0, mkfifo(p.c_str(), 0644)); });
    makers.push_back([](const fs::path& p) { fs::create_symlink("/dev/zero", p); });
#endif
    for (const auto& make : makers) {
        zktest::ResetDataDirectory();
        fs::create_directories(folder);
        make(lib.file);
        make(folder / "G-PUMP.dwg");
        zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
        EXPECT_FALSE(ZkIsFileExist(ZkFromNativePath(lib.file.native())));
        EXPECT_FALSE(lib.load());
        pMgr->SetVecNodeDetailResData({pump});
        EXPECT_EQ(0, pMgr->CopyNode(0));
        EXPECT_EQ(4u, zktest::FolderEntries(folder).size());  // the slide alone was copied
    }
#if defined(_WIN32)
    zktest::WriteBytes(folder / "NUL.xml", "a device, whatever is on disk");
    EXPECT_FALSE(ZkIsFileExist(ZkFromNativePath((folder / "NUL.xml").native())));
#endif
}
