// Saves and copies that cannot complete: a missing folder, a folder that is a
// file, a file that is a folder, a read-only folder, and a save killed midway.
// A library file is either the old one or the new one, byte for byte, and
// loads; nothing else is left in its place.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"
#include "frame/ZkNodeDetail.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/inotify.h>
#endif

namespace fs = std::filesystem;

namespace {

struct Library {
    const char* name;
    std::function<bool()> load;
    std::function<bool()> save;
    std::function<int()> count;
    fs::path file;
    // A library file of that size with content that depends on variant.
    std::function<std::string(int nItems, int nVariant)> make;
};

std::string NodeDetailXml(int nRows, int nVariant)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<NodeDetailResData>\n";
    char row[200];
    for (int i = 0; i < nRows; ++i) {
        std::snprintf(row, sizeof row,
                      "<NodeDetailResDataRow GuId=\"%08X-0000-4000-8000-%012d\" "
                      "DisplayName=\"Detail %d\" Description=\"v%d support DN%d\"/>\n",
                      i, nVariant, i, nVariant, 50 + i % 500);
        xml += row;
    }
    return xml + "</NodeDetailResData>\n";
}

// Groups of ten fittings with two connectors each.
std::string FittingXml(int nFittings, int nVariant)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<FitData>\n";
    char row[400];
    for (int i = 0; i < nFittings; ++i) {
        if (i % 10 == 0)
            xml += (i > 0 ? "</FitInfo>\n<FitInfo FitType=\"" : "<FitInfo FitType=\"") +
                   std::to_string(i / 10 % 4) + "\">\n";
        std::snprintf(row, sizeof row,
                      "<FitRow Pos=\"%d,0.5,-1\" GUID=\"F%d\" BlockName=\"ELBOW\" Scale=\"%d\" "
                      "DisplayName=\"Fit %d\" Description=\"v%d\" Direction=\"1,0,0\" "
                      "ButtressPos=\"0,0,0\"><vecConnector><Connector Pos=\"0,0,0\" Angle=\"0\" "
                      "ConType=\"1\" Index=\"1\"/><Connector Pos=\"1,1,0\" Angle=\"90\" "
                      "ConType=\"1\" Index=\"2\"/></vecConnector></FitRow>\n",
                      i, i, nVariant + 1, i, nVariant);
        xml += row;
    }
    return xml + (nFittings > 0 ? "</FitInfo>\n" : "") + "</FitData>\n";
}

Library NodeDetailLibrary()
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    return {"node-detail library",
            [pMgr] { return pMgr->Load(); },
            [pMgr] { return pMgr->Save(); },
            [pMgr] { return pMgr->GetDataCount(); },
            zktest::Native(std::wstring(pMgr->GetFileName())),
            NodeDetailXml};
}

Library FittingLibrary()
{
    CFitDataManager* pMgr = ZkFitDataManager();
    return {"fitting library",
            [pMgr] { return pMgr->Load(); },
            [pMgr] { return pMgr->Save(); },
            [pMgr] { return pMgr->GetDataCount(); },
            zktest::Native(std::wstring(pMgr->GetFileName())),
            FittingXml};
}

// The bytes that Save writes for a library file of that content; the library
// is left holding that content.
std::string SavedForm(const Library& lib, const std::string& xml)
{
    zktest::WriteBytes(lib.file, xml);
    EXPECT_TRUE(lib.load());
    EXPECT_TRUE(lib.save());
    return zktest::ReadBytes(lib.file);
}

#if !defined(_WIN32)
// Holds the new content in memory while the old file is on disk.
void PrepareSave(const Library& lib, const std::string& newBytes, const std::string& oldBytes)
{
    zktest::WriteBytes(lib.file, newBytes);
    ASSERT_TRUE(lib.load());
    zktest::WriteBytes(lib.file, oldBytes);
}
#endif

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    return names;
}

#if !defined(_WIN32)
const int kCannotDropPrivileges = 99;

// Runs fn in a child process and returns its exit code. Root writes into any
// folder whatever its mode, so a child of root first becomes "nobody".
int RunUnprivileged(const std::function<int()>& fn)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(kCannotDropPrivileges);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

}  // namespace

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override { zktest::ResetDataDirectory(); }
};

TEST_F(FaultTest, SaveThatCannotWriteLeavesWhatIsThereUntouched)
{
    for (const Library& lib : {NodeDetailLibrary(), FittingLibrary()}) {
        SCOPED_TRACE(lib.name);
        zktest::ResetDataDirectory();
        const std::string oldBytes = SavedForm(lib, lib.make(3, 1));
        const std::string newBytes = SavedForm(lib, lib.make(5, 2));
        const fs::path folder = lib.file.parent_path();
        const fs::path data = zktest::NativeDataDirectory() / "Data";

        // The library's folder is missing: no folder is made.
        fs::remove_all(data);
        EXPECT_FALSE(lib.save());
        EXPECT_FALSE(fs::exists(data));

        // A file stands where a folder of the path belongs.
        zktest::WriteBytes(data, "a file, not a folder");
        EXPECT_FALSE(lib.save());
        EXPECT_EQ("a file, not a folder", zktest::ReadBytes(data));
        fs::remove(data);

        // A folder stands where the library file belongs.
        zktest::WriteBytes(lib.file / "keep.txt", "kept");
        EXPECT_FALSE(lib.save());
        EXPECT_EQ("kept", zktest::ReadBytes(lib.file / "keep.txt"));
        EXPECT_EQ(1u, FolderEntries(folder).size());
        fs::remove_all(lib.file);

        // Failed saves changed nothing in memory: once the way is clear, the
        // new content is written.
        zktest::WriteBytes(lib.file, oldBytes);
        ASSERT_TRUE(lib.save());
        EXPECT_EQ(newBytes, zktest::ReadBytes(lib.file));
    }
}

#if !defined(_WIN32)
TEST_F(FaultTest, SaveIntoReadOnlyFolderKeepsTheOldFile)
{
    for (const Library& lib : {NodeDetailLibrary(), FittingLibrary()}) {
        SCOPED_TRACE(lib.name);
        zktest::ResetDataDirectory();
        const std::string oldBytes = SavedForm(lib, lib.make(3, 1));
        PrepareSave(lib, lib.make(5, 2), oldBytes);
        const fs::path folder = lib.file.parent_path();
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
        const int nResult = RunUnprivileged([&lib] { return lib.save() ? 1 : 0; });
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        if (nResult == kCannotDropPrivileges)
            GTEST_SKIP() << "running as root and cannot drop privileges";
        EXPECT_EQ(0, nResult) << "Save reported success";
        EXPECT_EQ(oldBytes, zktest::ReadBytes(lib.file));
        EXPECT_EQ(1u, FolderEntries(folder).size());
    }
}
#endif

#if defined(__linux__)
namespace {

// Starts a child process that saves what the library holds; returns once the
// child is about to call Save.
pid_t StartSave(const Library& lib)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const char go = 'g';
        if (write(fds[1], &go, 1) != 1)
            _exit(2);
        _exit(lib.save() ? 0 : 1);
    }
    close(fds[1]);
    char go = 0;
    const bool bStarted = pid > 0 && read(fds[0], &go, 1) == 1;
    close(fds[0]);
    return bStarted ? pid : -1;
}

// Follows the temporary file that a save creates in a folder. A listing of
// the folder is too slow to see it: a save of megabytes writes it, flushes
// it and renames it within a millisecond or two.
class TempFileWatch {
public:
    TempFileWatch(const fs::path& folder, const std::string& prefix)
        : m_prefix(prefix), m_inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_inotify >= 0)
            inotify_add_watch(m_inotify, folder.c_str(), IN_CREATE);
        m_folder = folder;
    }
    ~TempFileWatch()
    {
        if (m_file >= 0)
            close(m_file);
        if (m_inotify >= 0)
            close(m_inotify);
    }
    TempFileWatch(const TempFileWatch&) = delete;
    TempFileWatch& operator=(const TempFileWatch&) = delete;

    bool Valid() const { return m_inotify >= 0; }

    // Bytes in the temporary file so far; -1 while it has not appeared.
    long long Bytes()
    {
        if (m_file < 0) {
            alignas(inotify_event) char buf[4096];
            const ssize_t n = read(m_inotify, buf, sizeof buf);
            for (ssize_t off = 0; off < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
                if (ev->len > 0 && std::string(ev->name).rfind(m_prefix, 0) == 0)
                    m_file = open((m_folder / ev->name).c_str(), O_RDONLY | O_CLOEXEC);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            }
            if (m_file < 0)
                return -1;
        }
        struct stat st;
        return fstat(m_file, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    }

private:
    fs::path m_folder;
    std::string m_prefix;
    int m_inotify;
    int m_file = -1;
};

}  // namespace

// A child process saves a library of several megabytes and is killed with
// SIGKILL: once not at all, timing the save; then when its temporary file
// holds a fraction of the bytes (0: as soon as it exists; 1: all written, not
// yet renamed); then at a fraction of the undisturbed save's time. After each,
// the library file is the old or the new one exactly, and it loads.
TEST_F(FaultTest, SaveKilledMidwayLeavesTheOldOrTheNewFile)
{
    struct KillPoint {
        double dBytes;  // fraction of the bytes written, or < 0
        double dTime;   // fraction of the save's time, or < 0
    };
    const std::vector<KillPoint> points = {{-1, -1},  {0, -1},    {0.25, -1}, {0.5, -1}, {0.75, -1},
                                           {1, -1},   {-1, 0},    {-1, 0.2},  {-1, 0.4}, {-1, 0.6},
                                           {-1, 0.8}, {-1, 0.95}, {-1, 1.1}};
    struct Case {
        Library lib;
        int nItems;
    };
    for (const Case& c : {Case{NodeDetailLibrary(), 25000}, Case{FittingLibrary(), 5000}}) {
        const Library& lib = c.lib;
        SCOPED_TRACE(lib.name);
        zktest::ResetDataDirectory();
        const fs::path folder = lib.file.parent_path();
        const std::string tempPrefix = lib.file.filename().string() + ".tmp";
        const std::string saved[2] = {SavedForm(lib, lib.make(c.nItems, 1)),
                                      SavedForm(lib, lib.make(c.nItems + 1, 2))};
        int nCounts[2];
        for (int i = 0; i < 2; ++i) {
            zktest::WriteBytes(lib.file, saved[i]);
            ASSERT_TRUE(lib.load());
            nCounts[i] = lib.count();
        }
        ASSERT_NE(nCounts[0], nCounts[1]);

        std::chrono::steady_clock::duration saveTime{};
        int nOnDisk = 1;
        int nKeptOld = 0;
        int nMidWrite = 0;
        int nPartial = 0;
        int nWroteNew = 0;
        for (const KillPoint& kp : points) {
            const int nNew = 1 - nOnDisk;
            PrepareSave(lib, saved[nNew], saved[nOnDisk]);
            TempFileWatch watch(folder, tempPrefix);
            ASSERT_TRUE(watch.Valid());
            const auto start = std::chrono::steady_clock::now();
            const pid_t pid = StartSave(lib);
            ASSERT_GT(pid, 0);
            const long long nKillAt =
                static_cast<long long>(kp.dBytes * static_cast<double>(saved[nNew].size()));
            const long long nFull = static_cast<long long>(saved[nNew].size());
            long long nTempAtKill = -1;
            int status = 0;
            for (;;) {
                if (waitpid(pid, &status, WNOHANG) == pid)
                    break;
                const long long nTemp = watch.Bytes();
                const bool bKill =
                    kp.dBytes >= 0 ? nTemp >= 0 && nTemp >= nKillAt
                                   : kp.dTime >= 0 && std::chrono::steady_clock::now() - start >=
                                                          saveTime * kp.dTime;
                if (bKill) {
                    nTempAtKill = nTemp;
                    kill(pid, SIGKILL);
                    waitpid(pid, &status, 0);
                    break;
                }
            }
            if (kp.dBytes < 0 && kp.dTime < 0) {
                saveTime = std::chrono::steady_clock::now() - start;
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }

            const std::string bytes = zktest::ReadBytes(lib.file);
            ASSERT_TRUE(bytes == saved[nOnDisk] || bytes == saved[nNew])
                << "the library file is neither the old nor the new one";
            const int nNow = bytes == saved[nNew] ? nNew : nOnDisk;
            EXPECT_TRUE(lib.load());
            EXPECT_EQ(nCounts[nNow], lib.count());
            if (nNow == nNew) {
                ++nWroteNew;
            } else {
                ++nKeptOld;
                nMidWrite += nTempAtKill >= 0 ? 1 : 0;
                nPartial += nTempAtKill >= 0 && nTempAtKill < nFull ? 1 : 0;
            }
            // A killed save leaves its temporary file behind; nothing reads it.
            for (const std::string& name : FolderEntries(folder))
                if (name.rfind(tempPrefix, 0) == 0)
                    fs::remove(folder / name);
            EXPECT_EQ(1u, FolderEntries(folder).size());
            nOnDisk = nNow;
        }
        std::cout << "[          ] " << lib.name << " of " << saved[0].size() << " bytes, "
                  << points.size() << " runs: new file " << nWroteNew << " times, old file kept "
                  << nKeptOld << " times (" << nMidWrite
                  << " killed while its temporary file existed, " << nPartial
                  << " of them part-written)\n";
        EXPECT_GT(nPartial, 0);
        EXPECT_GT(nWroteNew, 0);
    }
}
#endif

// CopyNode when the source files are missing or are not files, when the
// resource folder is missing, and when it is read-only: 0, the record is added
// all the same, and no file is damaged or half made.
TEST_F(FaultTest, CopyNodeWithFilesItCannotCopy)
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const Library lib = NodeDetailLibrary();
    const fs::path folder = lib.file.parent_path();
    auto reset = [&] {
        zktest::ResetDataDirectory();
        NodeDetailResData pump(L"Pump");
        pump.SetGuid(L"G-PUMP");
        pMgr->SetVecNodeDetailResData({pump});
        fs::create_directories(folder);
    };
    auto copiedName = [&] {
        std::vector<NodeDetailResData> records;
        pMgr->GetVecNodeDetailResData(records);
        return records.size() == 2 ? std::wstring(records[0].GetDisplayName()) : L"";
    };

    // Neither file exists.
    reset();
    EXPECT_EQ(0, pMgr->CopyNode(0));
    EXPECT_EQ(L"Pump(1)", copiedName());
    EXPECT_TRUE(FolderEntries(folder).empty());

    // The drawing is a folder: the slide is still copied, the folder is left.
    reset();
    zktest::WriteBytes(folder / "G-PUMP.dwg" / "inside.txt", "inside");
    zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
    EXPECT_EQ(0, pMgr->CopyNode(L"pump"));
    EXPECT_EQ(L"Pump(1)", copiedName());
    std::vector<NodeDetailResData> records;
    pMgr->GetVecNodeDetailResData(records);
    const std::string guid = zktest::Native(std::wstring(records[0].GetGuid())).string();
    EXPECT_EQ("slide", zktest::ReadBytes(folder / (guid + ".sld")));
    EXPECT_FALSE(fs::exists(folder / (guid + ".dwg")));
    EXPECT_EQ("inside", zktest::ReadBytes(folder / "G-PUMP.dwg" / "inside.txt"));
    EXPECT_EQ(3u, FolderEntries(folder).size());

    // The resource folder is missing altogether: it is not made.
    reset();
    fs::remove_all(zktest::NativeDataDirectory() / "Data");
    EXPECT_EQ(0, pMgr->CopyNode(0));
    EXPECT_EQ(L"Pump(1)", copiedName());
    EXPECT_FALSE(fs::exists(zktest::NativeDataDirectory() / "Data"));

#if !defined(_WIN32)
    // The resource folder is read-only: nothing new appears in it, and the
    // child that tried still added the record.
    reset();
    zktest::WriteBytes(folder / "G-PUMP.dwg", "drawing");
    zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const int nResult = RunUnprivileged([pMgr] {
        return pMgr->CopyNode(0) * 10 + pMgr->GetDataCount();  // 2 when refused and added
    });
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    if (nResult != kCannotDropPrivileges) {
        EXPECT_EQ(2, nResult);
        EXPECT_EQ(2u, FolderEntries(folder).size());
        EXPECT_EQ("drawing", zktest::ReadBytes(folder / "G-PUMP.dwg"));
        EXPECT_EQ("slide", zktest::ReadBytes(folder / "G-PUMP.sld"));
    }
#endif
}
