// White-box tests of the file layer: which GUID texts may name a resource
// file, CopyNode kept inside its folder, copies in bounded memory, and the
// bounds of the leading-number conversion.

#include <cmath>
#include <cstdlib>

#include "TestUtil.h"
#include "nodedetail/internal/CopyOutcome.h"
#include "platform/internal/FileSystem.h"
#include "platform/internal/Number.h"
#include "platform/internal/Os.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Each can reach outside the resource folder, or name no file, or a device.
const wchar_t* const kRefusedGuids[] = {L"",
                                        L".",
                                        L"..",
                                        L"..\\..\\..\\outside",
                                        L"../../../outside",
                                        L"\\outside",
                                        L"C:\\outside",
                                        L"C:outside",
                                        L"sub\\G",
                                        L"CON",
                                        L"nul",
                                        L"Com1",
                                        L"LPT9.x",
                                        L"aux .x",
                                        L"G.",
                                        L"G ",
                                        L"a<b",
                                        L"a>b",
                                        L"a\"b",
                                        L"a|b",
                                        L"a?b",
                                        L"a*b",
                                        L"a\x01"
                                        L"b",
                                        L"a\x1F"
                                        L"b"};

}  // namespace

TEST(FileNameTest, PlainNamesOnly)
{
    for (const wchar_t* guid : kRefusedGuids)
        EXPECT_FALSE(ZkFileSystem::IsPlainFileName(guid)) << testing::PrintToString(guid);
    for (const wchar_t* fine : {L"0A1B2C3D-0000-4000-8000-00000000000A", L"g-pump", L"CON1",
                                L"COM10", L"LPT0", L"a.b.c", L"..a", L".hidden", L"节点 图"})
        EXPECT_TRUE(ZkFileSystem::IsPlainFileName(fine)) << testing::PrintToString(fine);
    EXPECT_FALSE(ZkFileSystem::IsPlainFileName(nullptr));
}

// A GUID text that is not a plain name is a failed copy of both files: 0,
// the record added, nothing outside read or written and nothing copied in.
TEST(FileNameTest, CopyNodeStaysInsideTheResourceFolder)
{
    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    const fs::path data = zktest::NativeDataDirectory();
    const fs::path folder = zktest::Native(pMgr->GetFileName().GetString()).parent_path();
    for (const wchar_t* guid : kRefusedGuids) {
        SCOPED_TRACE(testing::PrintToString(guid));
        zktest::ResetDataDirectory();
        for (const char* ext : {".dwg", ".sld"}) {
            zktest::WriteBytes(data / "Data" / (std::string("outside") + ext), "outside");
            zktest::WriteBytes(folder / (std::string("outside") + ext), "inside");
        }
        NodeDetailResData node(L"Node");
        node.SetGuid(guid);
        pMgr->SetVecNodeDetailResData({node});
        EXPECT_EQ(0, pMgr->CopyNode(0));
        EXPECT_EQ(2, pMgr->GetDataCount());
        EXPECT_TRUE(pMgr->DataChanged());
        EXPECT_EQ(2u, zktest::FolderEntries(folder).size());
        EXPECT_EQ("outside", zktest::ReadBytes(data / "Data" / "outside.dwg"));
        EXPECT_EQ(3u, zktest::FolderEntries(data / "Data").size());
        const CopyNodeOutcome& outcome = LastCopyNodeOutcome();
        EXPECT_TRUE(outcome.drawing.bGuidRefused && outcome.slide.bGuidRefused);
    }
    pMgr->SetVecNodeDetailResData({});
}

#if !defined(_WIN32)
// A 1 GiB file with a few megabytes of data among holes: the copy holds far
// less than the file in memory, keeps the holes and the permission bits, and
// carries every byte of data.
TEST(FileCopyTest, LargeSparseFileCopiesInBoundedMemory)
{
    const fs::path from = zktest::NativeDataDirectory() / "big.dwg";
    const fs::path to = zktest::NativeDataDirectory() / "copy.dwg";
    const off_t kSize = off_t(1) << 30;
    const off_t offsets[] = {0, 300 << 20, 700 << 20, kSize - (1 << 20)};
    {
        const int fd = open(from.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0640);
        ASSERT_GE(fd, 0);
        const std::string chunk(1 << 20, 'd');
        for (const off_t at : offsets)
            ASSERT_EQ(ssize_t(chunk.size()), pwrite(fd, chunk.data(), chunk.size(), at));
        close(fd);
        chmod(from.c_str(), 0640);
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool ok =
            CopyFileW(ZkFromNativePath(from.native()), ZkFromNativePath(to.native()), 0);
        getrusage(RUSAGE_SELF, &after);
        // Peak memory grew by less than 32 MiB (ru_maxrss is in KiB).
        _exit(ok && after.ru_maxrss - before.ru_maxrss < (32 << 10) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat a, b;
    ASSERT_TRUE(stat(from.c_str(), &a) == 0 && stat(to.c_str(), &b) == 0);
    EXPECT_EQ(a.st_size, b.st_size);
    EXPECT_EQ(0640u, b.st_mode & 07777);
    EXPECT_LE(b.st_blocks, 2 * a.st_blocks);
    std::ifstream in(to, std::ios::binary);
    std::string got(1 << 20, '\0');
    for (const off_t at : offsets) {
        in.seekg(at);
        in.read(&got[0], std::streamsize(got.size()));
        EXPECT_EQ(std::string(1 << 20, 'd'), got) << at;
    }
    fs::remove(from);
    fs::remove(to);
}
#endif

// The leading number of long texts, rounded exactly as the C library's
// conversion rounds them, beyond the 800 digits kept. 400 digits, a point and
// 120 digits once overran the conversion's buffer.
TEST(NumberTest, LeadingNumberOfLongTextsAsStrtodReadsIt)
{
    const std::string nines(400, '9');
    const std::string texts[] = {
        nines + "." + std::string(120, '9'),
        nines + "." + std::string(200, '9') + "e-300",
        "1" + std::string(400, '0') + "e-300",
        "0." + std::string(250, '0') + "1e+300x",
        // Halfway between two doubles: a 1 far beyond the 767th digit decides.
        "9007199254740993." + std::string(900, '0') + "1",
        "-" + std::string(399, '0') + "7.25e+000000000000003",
        std::string(310, '9') + "e-1",
        "0e99999999999999999",
        "  +12.5e",
        "1e-99999999999999",
    };
    for (const std::string& text : texts) {
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(std::strtod(text.c_str(), nullptr),
                  ZkNumber::ParseLeading(wide.data(), wide.size()))
            << text;
    }
}
