// Saves and copies that cannot complete: a missing folder, a folder that is a
// file, a file that is a folder, a read-only folder, and a save killed midway.
// The library file is then the old one or the new one, byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestEnvironment.h"
#include "TestUtil.h"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using zktest::Library;

namespace {

// The two libraries, each with content of some megabytes for a variant.
std::vector<std::pair<Library, std::function<std::string(int)>>> Cases()
{
    auto fittings = [](int nVariant) {
        std::string xml = "<FitData><FitInfo FitType=\"1\">\n";
        for (int i = 0; i < 5000 + nVariant; ++i)
            xml += "<FitRow DisplayName=\"Fit " + std::to_string(i) +
                   "\" Pos=\"1,0.5,-1\">"
                   "<vecConnector><Connector Index=\"1\"/><Connector Pos=\"1,1,0\" Angle=\"90\" "
                   "Index=\"2\"/></vecConnector></FitRow>\n";
        return xml + "</FitInfo></FitData>\n";
    };
    return {{Library::NodeDetail(), [](int v) { return zktest::NodeDetailXml(25000 + v, v); }},
            {Library::Fitting(), fittings}};
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
const int kCannotDropPrivileges = 99;

// Runs fn in a child process while folder is read-only and returns its exit
// code. Root writes into any folder whatever its mode, so a child of root
// first becomes "nobody".
int RunInReadOnlyFolder(const fs::path& folder, const std::function<int()>& fn)
{
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(kCannotDropPrivileges);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override { zktest::ResetDataDirectory(); }
};

}  // namespace

TEST_F(FaultTest, SaveThatCannotWriteLeavesWhatIsThereUntouched)
{
    for (const auto& [lib, make] : Cases()) {
        SCOPED_TRACE(lib.file);
        zktest::ResetDataDirectory();
        const std::string oldBytes = SavedForm(lib, make(0));
        const std::string newBytes = SavedForm(lib, make(1));
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
        EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
        fs::remove_all(lib.file);
        zktest::WriteBytes(lib.file, oldBytes);
#if !defined(_WIN32)
        // The folder is read-only.
        const int nResult =
            RunInReadOnlyFolder(folder, [&save = lib.save] { return save() ? 1 : 0; });
        if (nResult != kCannotDropPrivileges) {
            EXPECT_EQ(0, nResult) << "Save reported success";
            EXPECT_EQ(oldBytes, zktest::ReadBytes(lib.file));
            EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
        }
#endif
        // Failed saves changed nothing in memory: once the way is clear, the
        // new content is written.
        ASSERT_TRUE(lib.save());
        EXPECT_EQ(newBytes, zktest::ReadBytes(lib.file));
    }
}

#if defined(__linux__)
// A child process saves and is killed with SIGKILL: when its write reaches a
// given byte (a file size limit stops it there), or at a fraction of an
// undisturbed save's time. A save killed while writing keeps the old file.
TEST_F(FaultTest, SaveKilledMidwayLeavesTheOldOrTheNewFile)
{
    // Fraction of the bytes written or of the save's time (< 0: not used).
    const std::pair<double, double> points[] = {{-1, -1}, {0, -1},   {0.3, -1}, {0.7, -1},
                                                {1, -1},  {-1, 0.5}, {-1, 0.9}};
    for (const auto& [lib, make] : Cases()) {
        SCOPED_TRACE(lib.file);
        zktest::ResetDataDirectory();
        const fs::path folder = lib.file.parent_path();
        const std::string tempPrefix = lib.file.filename().string() + ".tmp";
        const std::string oldBytes = SavedForm(lib, make(0));
        const std::string newBytes = SavedForm(lib, make(1));
        std::chrono::steady_clock::duration saveTime{};
        for (const auto& [dBytes, dTime] : points) {
            SCOPED_TRACE(testing::Message() << dBytes << " " << dTime);
            zktest::WriteBytes(lib.file, oldBytes);  // the library holds the new content
            const auto start = std::chrono::steady_clock::now();
            std::fflush(nullptr);
            const pid_t pid = fork();
            if (pid == 0) {
                if (dBytes >= 0) {
                    // Writing past the limit raises SIGXFSZ: die there as if killed.
                    signal(SIGXFSZ, [](int) { raise(SIGKILL); });
                    const auto nLimit = static_cast<rlim_t>(std::min(
                        dBytes * static_cast<double>(newBytes.size()), newBytes.size() - 1.0));
                    const rlimit limit = {nLimit, nLimit};
                    setrlimit(RLIMIT_FSIZE, &limit);
                }
                _exit(lib.save() ? 0 : 1);
            }
            ASSERT_GT(pid, 0);
            if (dTime >= 0) {
                std::this_thread::sleep_for(saveTime * dTime);
                kill(pid, SIGKILL);
            }
            int status = 0;
            waitpid(pid, &status, 0);
            const std::string bytes = zktest::ReadBytes(lib.file);
            if (dBytes < 0 && dTime < 0) {
                saveTime = std::chrono::steady_clock::now() - start;
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                EXPECT_EQ(newBytes, bytes);
            } else if (dBytes >= 0) {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
                EXPECT_EQ(oldBytes, bytes);
            }
            ASSERT_TRUE(bytes == oldBytes || bytes == newBytes)
                << "the library file is neither the old nor the new one";
            // A killed save leaves its temporary file behind; nothing reads it.
            for (const std::string& name : zktest::FolderEntries(folder))
                if (name.rfind(tempPrefix, 0) == 0)
                    fs::remove(folder / name);
            EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
            EXPECT_TRUE(lib.load());
            zktest::WriteBytes(lib.file, newBytes);  // held for the next run
            ASSERT_TRUE(lib.load());
        }
    }
}
#endif

// CopyNode when a source file is not a file, when the resource folder is
// missing, and when it is read-only: 0, the record is added all the same, and
// no file is damaged or half made.
TEST_F(FaultTest, CopyNodeWithFilesItCannotCopy)
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const fs::path folder = zktest::Library::NodeDetail().file.parent_path();
    std::vector<NodeDetailResData> records;
    auto reset = [&](const char* drawing) {
        zktest::ResetDataDirectory();
        NodeDetailResData pump(L"Pump");
        pump.SetGuid(L"G-PUMP");
        pMgr->SetVecNodeDetailResData({pump});
        zktest::WriteBytes(folder / drawing, "drawing");
        zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
    };
    auto copy = [&] {
        EXPECT_EQ(0, pMgr->CopyNode(L"pump"));
        pMgr->GetVecNodeDetailResData(records);
        EXPECT_EQ(2u, records.size());
        EXPECT_STREQ(L"Pump(1)", records[0].GetDisplayName());
        return folder / zktest::Native(std::wstring(records[0].GetGuid()));
    };

    // The drawing is a folder: the slide is still copied, the folder is left.
    reset("G-PUMP.dwg/inside.txt");
    EXPECT_EQ("slide", zktest::ReadBytes(copy() += ".sld"));
    EXPECT_EQ("drawing", zktest::ReadBytes(folder / "G-PUMP.dwg" / "inside.txt"));
    EXPECT_EQ(3u, zktest::FolderEntries(folder).size());

    // The resource folder is missing altogether: it is not made.
    reset("G-PUMP.dwg");
    fs::remove_all(zktest::NativeDataDirectory() / "Data");
    copy();
    EXPECT_FALSE(fs::exists(zktest::NativeDataDirectory() / "Data"));

#if !defined(_WIN32)
    // The resource folder is read-only: nothing new appears in it, and the
    // child that tried still added the record.
    reset("G-PUMP.dwg");
    const int nResult = RunInReadOnlyFolder(folder, [pMgr] {
        return pMgr->CopyNode(0) * 10 + pMgr->GetDataCount();  // 2 when refused and added
    });
    if (nResult != kCannotDropPrivileges) {
        EXPECT_EQ(2, nResult);
        EXPECT_EQ(2u, zktest::FolderEntries(folder).size());
        EXPECT_EQ("drawing", zktest::ReadBytes(folder / "G-PUMP.dwg"));
        EXPECT_EQ("slide", zktest::ReadBytes(folder / "G-PUMP.sld"));
    }
#endif
}
