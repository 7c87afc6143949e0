// White-box tests of the file layer: CopyNode kept inside its folder, what
// interrupted saves leave, copies in bounded memory; and of the number texts:
// the leading-number conversion on long texts, plain decimals read, reals
// written.

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "platform/internal/files/FileLock.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/files/Os.h"
#include "platform/internal/text/Number.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace fs = std::filesystem;

// The library file's lock: one holder at a time (two locks of one process
// exclude each other as two processes' do), taken on the file the path names
// after a save replaced the one locked, none on a missing file or a folder.
TEST(FileLockTest, OneHolderAtATimeOfTheFileThePathNames)
{
    using Result = ZkFileSystem::FileLock::Result;
    zktest::ResetDataDirectory();
    const std::wstring path = zktest::DataDirectory() + L"库.xml";
    auto soon = [] { return std::chrono::steady_clock::now() + std::chrono::milliseconds(50); };
    ZkFileSystem::FileLock first;
    ZkFileSystem::FileLock second;
    ZkFileSystem::FileError error;
    EXPECT_EQ(Result::kNoFile, first.Acquire(path.c_str(), soon(), &error));
    zktest::WriteBytes(zktest::Native(path), "old");
    ASSERT_EQ(Result::kLocked, first.Acquire(path.c_str(), soon(), &error));
    EXPECT_EQ(1, first.Holds("old", 3, &error));
    EXPECT_EQ(0, first.Holds("new", 3, &error));
    EXPECT_EQ(0, first.Holds("ol", 2, &error));
    EXPECT_EQ(Result::kTimedOut, second.Acquire(path.c_str(), soon(), &error));
    // A save replaces the file while the lock is held on it.
    ASSERT_TRUE(ZkFileSystem::WriteFileAtomic(path.c_str(), "new"));
    ASSERT_EQ(Result::kLocked, second.Acquire(path.c_str(), soon(), &error));
    ZkFileSystem::Bytes bytes;
    ASSERT_TRUE(second.ReadAll(bytes, &error));
    EXPECT_EQ("new", std::string(bytes.begin(), bytes.end()));
    second.Release();
    EXPECT_EQ(Result::kLocked, first.Acquire(path.c_str(), soon(), &error));
    first.Release();
    // A file last seen there, missing for longer than a replace usually
    // leaves it: on Windows, whose replace leaves a gap, it is looked for
    // until the deadline; rename leaves none, so on POSIX it is gone at once.
    fs::remove(zktest::Native(path));
    std::thread putBack([&path] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        zktest::WriteBytes(zktest::Native(path), "back");
    });
    const Result back = first.Acquire(
        path.c_str(), std::chrono::steady_clock::now() + std::chrono::seconds(5), &error, true);
    putBack.join();
#if defined(_WIN32)
    EXPECT_EQ(Result::kLocked, back);
#else
    EXPECT_EQ(Result::kNoFile, back);
#endif
    first.Release();
    fs::create_directory(zktest::Native(path + L".d"));
    EXPECT_EQ(Result::kFailed, first.Acquire((path + L".d").c_str(), soon(), &error));
    EXPECT_EQ(ZkFileSystem::FileStatus::kNotRegular, error.status);
}

// A write that may not replace puts its file where there is none and keeps
// one that is there, whether the new content had a name while it was written
// or not; a copy of what was written comes with it.
TEST(FileLockTest, AWriteThatMayNotReplaceKeepsTheFileThere)
{
    for (const bool bNamed : {false, true}) {
        zktest::ResetDataDirectory();
        ZkFileSystem::SetNamedTemporaryFilesForTesting(bNamed);
        const std::wstring path = zktest::DataDirectory() + L"库.xml";
        ZkFileSystem::Bytes copy;
        ZkFileSystem::WriteOptions options;
        options.bNoReplace = true;
        options.pCopy = &copy;
        {
            ZkFileSystem::AtomicWriter writer(path.c_str(), options);
            ASSERT_TRUE(writer.Write("first", 5) && writer.Commit());
        }
        EXPECT_EQ("first", std::string(copy.begin(), copy.end()));
        {
            ZkFileSystem::AtomicWriter writer(path.c_str(), options);
            EXPECT_FALSE(writer.Write("second", 6) && writer.Commit());
            EXPECT_EQ(ZkFileSystem::FileStatus::kExists, writer.Error().status);
        }
        EXPECT_EQ("first", zktest::ReadBytes(zktest::Native(path)));
        // A file that appears while the new content is written.
        fs::remove(zktest::Native(path));
        {
            ZkFileSystem::AtomicWriter writer(path.c_str(), options);
            ASSERT_TRUE(writer.Write("third", 5));
            zktest::WriteBytes(zktest::Native(path), "there");
            EXPECT_FALSE(writer.Commit());
            EXPECT_EQ(ZkFileSystem::FileStatus::kExists, writer.Error().status);
        }
        EXPECT_EQ("there", zktest::ReadBytes(zktest::Native(path)));
        EXPECT_EQ(1u, zktest::FolderEntries(zktest::NativeDataDirectory()).size());
    }
    ZkFileSystem::SetNamedTemporaryFilesForTesting(false);
}

// A GUID text that could reach outside the resource folder, or names no file
// or a device, is a failed copy of both files: 0, the record added, nothing
// outside read or written and nothing copied in.
TEST(FileNameTest, CopyNodeStaysInsideTheResourceFolder)
{
    for (const wchar_t* fine : {L"0A1B2C3D-0000-4000-8000-00000000000A", L"CON1", L"COM10", L"LPT0",
                                L"a.b.c", L"..a", L"节点 图"})
        EXPECT_TRUE(ZkIsPlainFileName(fine)) << testing::PrintToString(fine);
    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    const fs::path data = zktest::NativeDataDirectory() / "Data";
    const fs::path folder = zktest::Native(pMgr->GetFileName().GetString()).parent_path();
    for (const wchar_t* guid : {L"",
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
                                L"b"}) {
        SCOPED_TRACE(testing::PrintToString(guid));
        zktest::ResetDataDirectory();
        for (const std::string ext : {".dwg", ".sld"}) {
            zktest::WriteBytes(data / ("outside" + ext), "outside");
            zktest::WriteBytes(folder / ("outside" + ext), "inside");
        }
        NodeDetailResData node(L"Node");
        node.SetGuid(guid);
        pMgr->SetVecNodeDetailResData({node});
        EXPECT_EQ(0, pMgr->CopyNode(0));
        EXPECT_TRUE(pMgr->GetDataCount() == 2 && pMgr->DataChanged());
        EXPECT_EQ(2u, zktest::FolderEntries(folder).size());
        EXPECT_EQ(3u, zktest::FolderEntries(data).size());
        EXPECT_EQ("outside", zktest::ReadBytes(data / "outside.dwg"));
        const ZkReport& report = pMgr->GetLastReport();
        EXPECT_TRUE(report.eOutcome == ZkOutcome::kCopyFailed && report.vecWarning.size() == 1 &&
                    report.vecWarning[0].eKind == ZkWarningKind::kGuidRefused &&
                    report.vecWarning[0].strText == guid);
    }
    pMgr->SetVecNodeDetailResData({});
}

// Each failure keeps why: what the next layer shows to users.
TEST(FileErrorTest, FailuresSayWhy)
{
    using namespace ZkFileSystem;
    zktest::ResetDataDirectory();
    const std::wstring d = zktest::DataDirectory();
    zktest::WriteBytes(zktest::Native(d + L"file"), "x");
    fs::create_directory(zktest::Native(d + L"folder"));
    Bytes bytes;
    FileError e[7];
    const bool failed[] = {
        !ReadWholeFile((d + L"none").c_str(), bytes, &e[0]),
        !ReadWholeFile((d + L"folder").c_str(), bytes, &e[1]),
        !WriteFileAtomic((d + L"none\\x").c_str(), "x", &e[2]),
        !WriteFileAtomic((d + L"folder").c_str(), "x", &e[3]),
        !CopyRegularFile((d + L"none").c_str(), (d + L"x").c_str(), false, &e[4]),
        !CopyRegularFile((d + L"folder").c_str(), (d + L"x").c_str(), false, &e[5]),
        !CopyRegularFile((d + L"file").c_str(), (d + L"folder").c_str(), false, &e[6])};
    const FileStatus why[] = {FileStatus::kMissing,   FileStatus::kNotRegular,
                              FileStatus::kMissing,   FileStatus::kNotRegular,
                              FileStatus::kMissing,   FileStatus::kNotRegular,
                              FileStatus::kNotRegular};
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(failed[i] && e[i].status == why[i]) << i << ": " << DescribeFileError(e[i]);
        EXPECT_FALSE(DescribeFileError(e[i]).empty());
    }
    // Without a code from the system the status speaks; one it does not know
    // is a system error.
    EXPECT_EQ(DescribeFileError({FileStatus::kNotPermitted, 0}), "Permission denied");
    EXPECT_EQ(DescribeFileError({static_cast<FileStatus>(99), 0}), "System error");
}

namespace {

// The id of a process that no longer runs, as text.
std::string DeadProcessId()
{
#if !defined(_WIN32)
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    return std::to_string(dead);
#else
    return std::to_string(0x7FFFFFFC);  // never a process id
#endif
}

// Empties the data directory, read-only files too, but for the library's
// folder.
void ResetWithReadOnlyFiles(const fs::path& folder)
{
    std::error_code ec;
    for (const std::string& name : zktest::FolderEntries(folder))
        fs::permissions(folder / name, fs::perms::owner_write, fs::perm_options::add, ec);
    zktest::ResetDataDirectory();
    fs::create_directories(folder);
}

}  // namespace

// Named temporary files that earlier saves of this library left behind, whose
// processes are gone, are removed by the next save that itself writes one (a
// save through an unnamed file leaves nothing behind and does not look);
// those of a running process, of another file, or of another pattern stay.
TEST(LeftoverTest, NamedSaveRemovesOnlyItsOwnDeadLeftovers)
{
    zktest::ResetDataDirectory();
    const zktest::Library lib = zktest::Library::NodeDetail();
#if !defined(_WIN32)
    const std::string running = std::to_string(getppid());
#else
    const std::string running = std::to_string(GetCurrentProcessId());
#endif
    const std::string name = lib.file.filename().string();
    const std::string dying = ".tmp" + DeadProcessId() + ".";
    std::vector<std::string> kept = {name + ".tmp" + running + ".7", name + dying + "x",
                                     "FitDataEx.xml" + dying + "1", name + ".tmp.1", name};
    for (const std::string& file : kept)
        zktest::WriteBytes(lib.file.parent_path() / file, "x");
    for (const char* n : {"1", "22"})
        zktest::WriteBytes(lib.file.parent_path() / (name + dying + n), "left");
    ZkFileSystem::SetNamedTemporaryFilesForTesting(true);
    const bool bSaved = lib.save();
    ZkFileSystem::SetNamedTemporaryFilesForTesting(false);
    ASSERT_TRUE(bSaved);
    std::vector<std::string> entries = zktest::FolderEntries(lib.file.parent_path());
    std::sort(entries.begin(), entries.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, entries);
}

// What a save that lost the old file could not put in its place is the only
// copy of the library: under the kept name, or under its temporary name made
// read-only. No sweep removes it, whatever became of its process; nor does a
// save that finds no library sweep at all, since a leftover beside it may be
// such a copy. A dead process's other leftover goes once a library is there.
TEST(LeftoverTest, SweepKeepsTheOnlyCopyOfAFailedSave)
{
    const zktest::Library lib = zktest::Library::NodeDetail();
    const fs::path folder = lib.file.parent_path();
    const std::string name = lib.file.filename().string();
    const std::string dead = DeadProcessId();
    const std::string unsaved = name + ZkFileSystem::detail::KeptSuffix(std::stoul(dead));
    unsigned long pid = 0;
    EXPECT_FALSE(ZkFileSystem::detail::IsTemporaryFileOf<char>(name, unsaved, pid));
    const struct {
        std::string file;
        bool bReadOnly;
        bool bSwept;  // by a save that replaced the library
    } kFiles[] = {
        {name + ".tmp" + dead + ".1", false, true},
        {name + ".tmp" + dead + ".2", true, false},
        {unsaved, false, false},
    };
    for (const bool bLibrary : {true, false}) {
        SCOPED_TRACE(bLibrary ? "library there" : "library missing");
        ResetWithReadOnlyFiles(folder);
        if (bLibrary) {
            ASSERT_TRUE(lib.save());
        }
        for (const auto& f : kFiles) {
            zktest::WriteBytes(folder / f.file, "content of " + f.file);
            if (f.bReadOnly)
                fs::permissions(
                    folder / f.file,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
        }
        ZkFileSystem::SetNamedTemporaryFilesForTesting(true);
        const bool bSaved = lib.save();
        ZkFileSystem::SetNamedTemporaryFilesForTesting(false);
        ASSERT_TRUE(bSaved);
        for (const auto& f : kFiles) {
            const bool bGone = bLibrary && f.bSwept;
            EXPECT_EQ(bGone, !fs::exists(folder / f.file)) << f.file;
            if (!bGone) {
                EXPECT_EQ("content of " + f.file, zktest::ReadBytes(folder / f.file)) << f.file;
            }
        }
    }
    ResetWithReadOnlyFiles(folder);
}

#if defined(_WIN32)
// A save that loses the old file and cannot move the new one into its name
// fails and keeps the new content, under the kept name, or, where that rename
// fails too, under its temporary name made read-only; the report names it.
// The saves after it, the first of which writes the library anew, leave it
// as it was, also once its process is gone.
TEST(LeftoverTest, ASaveThatLosesTheOldFileKeepsTheNewContent)
{
    using ZkFileSystem::PlaceFault;
    const zktest::Library lib = zktest::Library::NodeDetail();
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const fs::path folder = lib.file.parent_path();
    const std::string name = lib.file.filename().string();
    const struct {
        PlaceFault fault;
        const char* pszKeptAs;
        bool bReadOnly;
    } kRows[] = {
        {PlaceFault::kMove, ".unsaved", false},
        {PlaceFault::kMoveAndKeep, ".tmp", true},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.pszKeptAs);
        ResetWithReadOnlyFiles(folder);
        pMgr->SetVecNodeDetailResData({NodeDetailResData(L"Pump")});
        ASSERT_TRUE(lib.save());
        ZkFileSystem::SetPlaceFaultForTesting(row.fault);
        EXPECT_FALSE(lib.save());
        const std::vector<std::string> entries = zktest::FolderEntries(folder);
        ASSERT_EQ(1u, entries.size());
        const std::string kept = entries[0];
        const std::string prefix = name + row.pszKeptAs;
        const std::string self = std::to_string(GetCurrentProcessId()) + ".";
        ASSERT_EQ(prefix + self, kept.substr(0, prefix.size() + self.size()));
        const DWORD attr = GetFileAttributesW((folder / kept).c_str());
        EXPECT_EQ(row.bReadOnly, (attr & FILE_ATTRIBUTE_READONLY) != 0);
        const ZkReport& report = lib.report();
        const std::wstring where = ZkFromNativePath((folder / kept).native()).GetString();
        EXPECT_NE(std::wstring::npos,
                  std::wstring(report.Describe().GetString()).find(L"\"" + where + L"\""))
            << testing::PrintToString(std::wstring(report.Describe().GetString()));
        // As its process would leave it on exit.
        const std::string left =
            prefix + DeadProcessId() + "." + kept.substr(prefix.size() + self.size());
        fs::rename(folder / kept, folder / left);
        const std::string content = zktest::ReadBytes(folder / left);
        ASSERT_TRUE(lib.save());
        ASSERT_TRUE(lib.save());
        EXPECT_EQ(content, zktest::ReadBytes(lib.file));
        EXPECT_EQ(content, zktest::ReadBytes(folder / left));
        EXPECT_EQ(2u, zktest::FolderEntries(folder).size());
    }
    ResetWithReadOnlyFiles(folder);
    pMgr->SetVecNodeDetailResData({});
}
#endif

#if !defined(_WIN32)
// A 1 GiB file with four 1 MiB pieces of data among holes: the copy raises
// the peak memory of its process by far less than the file, keeps the holes
// and the permission bits, and carries every piece.
TEST(FileCopyTest, LargeSparseFileCopiesInBoundedMemory)
{
    const fs::path from = zktest::NativeDataDirectory() / "big.dwg";
    const fs::path to = zktest::NativeDataDirectory() / "copy.dwg";
    const off_t offsets[] = {0, 300 << 20, 700 << 20, (1 << 30) - (1 << 20)};
    const std::string piece(1 << 20, 'd');
    int fd = open(from.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0640);
    for (const off_t at : offsets)
        ASSERT_EQ(ssize_t(piece.size()), pwrite(fd, piece.data(), piece.size(), at));
    close(fd);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const int ok = CopyFileW(ZkFromNativePath(from.native()), ZkFromNativePath(to.native()), 0);
        getrusage(RUSAGE_SELF, &after);
        _exit(ok != 0 && after.ru_maxrss - before.ru_maxrss < (32 << 10) ? 0 : 1);  // KiB
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat a, b;
    ASSERT_TRUE(stat(from.c_str(), &a) == 0 && stat(to.c_str(), &b) == 0);
    EXPECT_TRUE(a.st_size == b.st_size && (b.st_mode & 07777) == 0640);
    EXPECT_LE(b.st_blocks, 2 * a.st_blocks);
    fd = open(to.c_str(), O_RDONLY);
    std::string got(piece.size(), '\0');
    for (const off_t at : offsets)
        EXPECT_TRUE(pread(fd, &got[0], got.size(), at) == ssize_t(got.size()) && got == piece);
    close(fd);
    fs::remove(from);
    fs::remove(to);
}
#endif

// Long texts round as strtod rounds them; 400 digits, a point and 120 digits
// once overran the conversion's buffer.
TEST(NumberTest, LeadingNumberOfLongTextsAsStrtodReadsIt)
{
    const std::string nines(400, '9');
    for (const std::string& text :
         {nines + "." + std::string(120, '9'), "1" + std::string(400, '0') + "e-300",
          "0." + std::string(250, '0') + "1e+300x", std::string(310, '9') + "e-1",
          "9007199254740993." + std::string(900, '0') + "1", std::string("0e99999999999999999")}) {
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(std::strtod(text.c_str(), nullptr),
                  ZkNumber::ParseLeading(wide.data(), wide.size()))
            << text;
    }
}

// A value read in one division must be the double std::from_chars gives, at
// the edges of that shortcut and just past them, where the general way reads.
TEST(NumberTest, PlainDecimalsReadAsFromCharsReadsThem)
{
    const double kUntouched = -1;
    for (const char* pszText :
         {"0", "-0", "0012.50", "9007199254740992", "9007199254740993", "9007199254740992.5",
          "1234567890123456789", "12345678901234567890", "0.1", "0.3", "-2.675",
          "0.0000000000000000000001", "0.00000000000000000000001", "1.7976931348623157",
          "123456.789012345678", "1.", ".5", "-", "1e5"}) {
        const std::string text = pszText;
        double expected = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
        const bool bReads = r.ec == std::errc() && r.ptr == text.data() + text.size();
        double value = kUntouched;
        EXPECT_EQ(bReads,
                  ZkNumber::ParseWhole(text.data(), text.size(), ZkNumber::kPropertyValue, value))
            << text;
        // Bit for bit where it reads (-0 too); untouched where it does not.
        EXPECT_EQ(0, std::memcmp(bReads ? &expected : &kUntouched, &value, sizeof value)) << text;
    }
}

// Reals are written as std::to_chars writes them: where the shortcut for up
// to four decimals applies and where it stops (a fifth decimal, 15 digits,
// 10^-4), where fixed and scientific forms tie or swap, and over random
// values of every kind.
TEST(NumberTest, RealsWrittenAsToCharsWritesThem)
{
    std::vector<double> values = {
        0.0,       -0.0,      1e-4,    9.9999e-5,       1.5e-4,     0.00012345,  1e-3,
        0.1,       0.3,       1.0 / 3, 102.5,           -13192.046, 1e4,         1e5,
        -12e4,     1234567e3, 1e14,    999999999999999, 1e15,       1e16,        123.4567,
        123.45678, 5e-324,    1e300,   HUGE_VAL,        -HUGE_VAL,  std::nan("")};
    std::mt19937_64 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const double digits = static_cast<double>(rng() % 10000000000000000ull);
        const double scale = std::pow(10.0, static_cast<int>(rng() % 24) - 8);
        values.push_back((i % 2 == 0 ? 1 : -1) * std::floor(digits / scale) / 1e4);
        uint64_t bits = rng();
        double any = 0;
        std::memcpy(&any, &bits, sizeof any);
        values.push_back(any);
    }
    for (const double v : values) {
        char expected[32], written[32];
        const char* end = std::to_chars(expected, expected + sizeof expected, v).ptr;
        const char* ours = ZkNumber::ShortestText(written, written + sizeof written, v);
        ASSERT_EQ(std::string(expected, static_cast<size_t>(end - expected)),
                  std::string(written, static_cast<size_t>(ours - written)))
            << v;
    }
}
