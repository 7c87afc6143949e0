// What Save does to the file it replaces, what it leaves beside it, and what
// the library will open: regular files only.

#include "TestUtil.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace fs = std::filesystem;
using zktest::ReadBytes;

namespace {

// False where no symbolic link can be made (Wine reports success and makes none).
bool MakeSymlink(const fs::path& target, const fs::path& link)
{
#if defined(_WIN32)
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), 0x2) != 0 &&  // unprivileged
           GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    std::error_code ec;
    fs::create_symlink(target, link, ec);
    return !ec;
#endif
}

// The node-detail library loaded with three records; its file holds "old".
class FileIdentityTest : public zktest::LibraryTest {
protected:
    void SetUp() override
    {
        zktest::LibraryTest::SetUp();
        // A file the manager never read: its list replaces it.
        zktest::WriteBytes(lib.file, "old");
        ASSERT_FALSE(lib.load());
    }
    zktest::Library lib = zktest::Library::NodeDetail();
};

}  // namespace

// Exact permission bits whatever the umask, owner and group where permitted,
// extended attributes; on Windows the file's attributes.
TEST_F(FileIdentityTest, SaveKeepsWhatTheFileWas)
{
#if !defined(_WIN32)
    const mode_t oldMask = umask(027);
    struct stat st;
    for (const mode_t mode : {0664, 0660, 0600, 0751}) {
        chmod(lib.file.c_str(), mode);
        ASSERT_TRUE(lib.save() && stat(lib.file.c_str(), &st) == 0);
        EXPECT_EQ(mode, st.st_mode & 07777);
    }
    umask(oldMask);
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(lib.file.c_str(), 1234, 5678));
        ASSERT_TRUE(lib.save() && stat(lib.file.c_str(), &st) == 0);
        EXPECT_TRUE(st.st_uid == 1234 && st.st_gid == 5678);
    }
    if (setxattr(lib.file.c_str(), "user.zknd", "kept", 4, 0) == 0) {
        ASSERT_TRUE(lib.save());
        char value[8] = {};
        EXPECT_EQ(4, getxattr(lib.file.c_str(), "user.zknd", value, sizeof value));
        EXPECT_STREQ("kept", value);
    }
#else
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(lib.file.c_str(), attributes) && lib.save());
    EXPECT_EQ(attributes, GetFileAttributesW(lib.file.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
#endif
    EXPECT_NE("old", ReadBytes(lib.file));
}

// A chain of links stays a chain and the file at its end gets the library; a
// second hard link keeps the old library (a backup made of links stays one).
TEST_F(FileIdentityTest, LinksStayLinksAndHardLinksKeepTheOldContent)
{
    const fs::path shared = zktest::NativeDataDirectory() / "shared";
    zktest::WriteBytes(shared / "real.xml", "old");
    fs::remove(lib.file);
    if (MakeSymlink(fs::path("..") / "shared" / "real.xml", shared / "middle.xml") &&
        MakeSymlink(fs::relative(shared, lib.file.parent_path()) / "middle.xml", lib.file)) {
        ASSERT_TRUE(lib.save());
        EXPECT_TRUE(fs::is_symlink(lib.file) && fs::is_symlink(shared / "middle.xml"));
        EXPECT_NE("old", ReadBytes(shared / "real.xml"));
        EXPECT_EQ(2u, zktest::FolderEntries(shared).size());
        EXPECT_EQ(1u, zktest::FolderEntries(lib.file.parent_path()).size());
        fs::remove(lib.file);
    } else {
        std::printf("note: no symbolic links here\n");
    }
    zktest::WriteBytes(lib.file, "old");
    ASSERT_FALSE(lib.load());
    fs::create_hard_link(lib.file, shared / "backup.xml");
    ASSERT_TRUE(lib.save());
    EXPECT_EQ("old", ReadBytes(shared / "backup.xml"));
    EXPECT_NE("old", ReadBytes(lib.file));
}

// A folder, a FIFO or a device where a file is expected: false or 0 at once,
// never a read that blocks or does not end. The slide beside it is copied.
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
        zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
        make(lib.file);
        make(folder / "G-PUMP.dwg");
        EXPECT_FALSE(ZkIsFileExist(ZkFromNativePath(lib.file.native())) || lib.load());
        pMgr->SetVecNodeDetailResData({pump});
        EXPECT_EQ(0, pMgr->CopyNode(0));
        EXPECT_EQ(4u, zktest::FolderEntries(folder).size());
    }
#if defined(_WIN32)
    zktest::WriteBytes(folder / "NUL.xml", "a device, whatever is on disk");
    EXPECT_FALSE(ZkIsFileExist(ZkFromNativePath((folder / "NUL.xml").native())));
#endif
}
