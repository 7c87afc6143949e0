// Saves and copies that cannot complete: a missing folder, a folder that is a
// file, a file that is a folder, a read-only folder, and a save killed midway.
// The library file is then the old one or the new one, byte for byte.

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

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

// A fitting library of some megabytes, a little different for each variant.
std::string FittingXml(int nVariant)
{
    std::string xml = "<FitData><FitInfo FitType=\"1\">\n";
    for (int i = 0; i < 5000 + nVariant; ++i)
        xml += "<FitRow DisplayName=\"Fit " + std::to_string(i) +
               "\" Pos=\"1,0.5,-1\"><vecConnector><Connector Index=\"1\"/><Connector "
               "Pos=\"1,1,0\" Angle=\"90\" Index=\"2\"/></vecConnector></FitRow>\n";
    return xml + "</FitInfo></FitData>\n";
}

// Runs check on each library, starting from an empty data directory, with the
// bytes Save writes for an old and a new content; the library holds the new.
void ForEachLibrary(
    const std::function<void(const Library&, const std::string&, const std::string&)>& check)
{
    const Library libs[] = {Library::NodeDetail(), Library::Fitting()};
    for (const Library& lib : libs) {
        SCOPED_TRACE(lib.file);
        zktest::ResetDataDirectory();
        std::string saved[2];
        for (int v : {0, 1}) {
            zktest::WriteBytes(lib.file,
                               &lib == libs ? zktest::NodeDetailXml(25000 + v, v) : FittingXml(v));
            EXPECT_TRUE(lib.load() && lib.save());
            saved[v] = zktest::ReadBytes(lib.file);
        }
        check(lib, saved[0], saved[1]);
    }
}

const int kCannotDropPrivileges = 99;

// What Save reports, as an exit status: 100 when it succeeded.
int SaveOutcome(const Library& lib)
{
    return lib.save() ? 100 : static_cast<int>(lib.report().eOutcome);
}

#if !defined(_WIN32)

// Runs fn in a child process and returns its exit code. Root writes whatever
// the modes say, so a child of root first becomes "nobody".
int RunAsSaver(const std::function<int()>& fn)
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

// Runs fn as the saver while folder is read-only.
int RunInReadOnlyFolder(const fs::path& folder, const std::function<int()>& fn)
{
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const int nResult = RunAsSaver(fn);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    return nResult;
}
#endif

// Save fails, and its report gives the outcome and the system's reason.
bool SaveFailsWith(const Library& lib, ZkOutcome eOutcome)
{
    if (lib.save())
        return false;
    const ZkReport& report = lib.report();
    return report.eOutcome == eOutcome && report.nSystemCode != 0 && !report.strReason.IsEmpty();
}

using FaultTest = zktest::LibraryTest;

}  // namespace

TEST_F(FaultTest, SaveThatCannotWriteLeavesWhatIsThereUntouched)
{
    ForEachLibrary(
        [](const Library& lib, const std::string& oldBytes, const std::string& newBytes) {
            const fs::path folder = lib.file.parent_path();
            const fs::path data = zktest::NativeDataDirectory() / "Data";

            // The library's folder is missing: no folder is made.
            fs::remove_all(data);
            EXPECT_TRUE(SaveFailsWith(lib, ZkOutcome::kMissing));
            EXPECT_FALSE(fs::exists(data));
            // A file stands where a folder of the path belongs.
            zktest::WriteBytes(data, "a file, not a folder");
            EXPECT_TRUE(SaveFailsWith(lib, ZkOutcome::kMissing));
            EXPECT_EQ("a file, not a folder", zktest::ReadBytes(data));
            fs::remove(data);
            // A folder stands where the library file belongs.
            zktest::WriteBytes(lib.file / "keep.txt", "kept");
            EXPECT_FALSE(lib.save());
            EXPECT_EQ(ZkOutcome::kNotRegularFile, lib.report().eOutcome);
            EXPECT_FALSE(lib.load());
            EXPECT_EQ(ZkOutcome::kNotRegularFile, lib.report().eOutcome);
            EXPECT_EQ("kept", zktest::ReadBytes(lib.file / "keep.txt"));
            EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
            fs::remove_all(lib.file);
            zktest::WriteBytes(lib.file, oldBytes);
            // The saver may not write the file, though the folder would let it
            // rename another over it; or may write the file, but make no new
            // file in the folder. Both are refused before anything is written.
            const std::pair<fs::perms, fs::perms> modes[] = {
                {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                 fs::perms::all},
#if !defined(_WIN32)  // Windows lets anyone make files in a read-only folder
                {fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                     ~fs::perms::others_exec,
                 fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec},
#endif
            };
            for (const auto& [fileMode, folderMode] : modes) {
                fs::permissions(lib.file, fileMode);
                fs::permissions(folder, folderMode);
#if !defined(_WIN32)
                const int nResult = RunAsSaver([&lib] { return SaveOutcome(lib); });
#else
                const int nResult = SaveOutcome(lib);
#endif
                fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
                fs::permissions(lib.file, fs::perms::owner_read | fs::perms::owner_write);
                if (nResult == kCannotDropPrivileges)
                    continue;  // no unprivileged user to be
                EXPECT_EQ(static_cast<int>(ZkOutcome::kNotPermitted), nResult);
                EXPECT_EQ(oldBytes, zktest::ReadBytes(lib.file));
                EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
            }
            // Failed saves changed nothing in memory: once the way is clear, the
            // new content is written.
            ASSERT_TRUE(lib.save());
            EXPECT_TRUE(lib.report().Succeeded());
            EXPECT_EQ(newBytes, zktest::ReadBytes(lib.file));
        });
}

#if defined(__linux__)
// A child process saves and is killed with SIGKILL: when its write reaches a
// given byte (a file size limit stops it there), or at a fraction of an
// undisturbed save's time. A save killed while writing keeps the old file.
TEST_F(FaultTest, SaveKilledMidwayLeavesTheOldOrTheNewFile)
{
    // Fraction of the bytes written or of the save's time (< 0: not used).
    // The first, undisturbed, save gives the new content.
    const std::pair<double, double> points[] = {{-1, -1}, {0, -1},   {0.3, -1}, {0.7, -1},
                                                {1, -1},  {-1, 0.5}, {-1, 0.9}};
    ForEachLibrary([&](const Library& lib, const std::string& oldBytes, const std::string&) {
        const fs::path folder = lib.file.parent_path();
        std::chrono::steady_clock::duration saveTime{};
        std::string newBytes;
        for (const auto& [dBytes, dTime] : points) {
            SCOPED_TRACE(testing::Message() << dBytes << " " << dTime);
            // The library holds the old content, loaded and then edited.
            zktest::WriteBytes(lib.file, oldBytes);
            ASSERT_TRUE(lib.load() && lib.rename(L"Edited"));
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
                ASSERT_NE(oldBytes, bytes);
                newBytes = bytes;
            } else if (dBytes >= 0) {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
                EXPECT_EQ(oldBytes, bytes);
            }
            ASSERT_TRUE(bytes == oldBytes || bytes == newBytes)
                << "the library file is neither the old nor the new one";
            // The temporary file had no name yet: nothing is left behind.
            EXPECT_EQ(1u, zktest::FolderEntries(folder).size());
            EXPECT_TRUE(lib.load());
        }
    });
}
#endif

// CopyNode when a source file is missing or is a folder, when the resource
// folder is missing, and when it is read-only: 0, the record is added all the
// same, the other file is still copied, and no file is damaged or half made.
TEST_F(FaultTest, CopyNodeWithFilesItCannotCopy)
{
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    const fs::path folder = Library::NodeDetail().file.parent_path();
    const fs::path data = zktest::NativeDataDirectory() / "Data";
    auto reset = [&] {
        zktest::ResetDataDirectory();
        NodeDetailResData pump(L"Pump");
        pump.SetGuid(L"G-PUMP");
        pMgr->SetVecNodeDetailResData({pump});
        zktest::WriteBytes(folder / "G-PUMP.dwg", "drawing");
        zktest::WriteBytes(folder / "G-PUMP.sld", "slide");
    };
    // The folder's entries: a file as its name (a copy as its extension) and
    // its content, a folder as its name.
    auto listing = [&] {
        std::vector<std::string> out;
        for (const std::string& name : zktest::FolderEntries(folder)) {
            const fs::path p = folder / name;
            const bool bSource = name.rfind("G-PUMP.", 0) == 0;
            out.push_back(fs::is_directory(p) ? name + "/"
                                              : (bSource ? name : p.extension().string()) + "=" +
                                                    zktest::ReadBytes(p));
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    // The obstacle, what the folder then holds, and the sources the report
    // names as not copied.
    const std::tuple<std::function<void()>, std::vector<std::string>, std::string> cases[] = {
        {[&] { fs::remove(folder / "G-PUMP.dwg"); }, {".sld=slide", "G-PUMP.sld=slide"}, "dwg"},
        {[&] { fs::remove(folder / "G-PUMP.sld"); }, {".dwg=drawing", "G-PUMP.dwg=drawing"}, "sld"},
        {[&] { fs::remove(folder / "G-PUMP.dwg"), fs::create_directory(folder / "G-PUMP.dwg"); },
         {".sld=slide", "G-PUMP.dwg/", "G-PUMP.sld=slide"},
         "dwg"},
        {[&] { fs::remove_all(data); }, {}, "dwg sld"},  // not made again
    };
    for (const auto& [obstacle, entries, failed] : cases) {
        reset();
        obstacle();
        EXPECT_EQ(0, pMgr->CopyNode(L"pump"));
        std::vector<NodeDetailResData> records;
        pMgr->GetVecNodeDetailResData(records);
        EXPECT_TRUE(records.size() == 2 && records[0].GetDisplayName() == L"Pump(1)");
        EXPECT_EQ(entries, listing());
        EXPECT_EQ(!entries.empty(), fs::exists(data));
        const ZkReport& report = pMgr->GetLastReport();
        std::string strFailed;
        for (const ZkWarning& w : report.vecWarning) {
            const std::wstring text = w.strText.GetString();
            strFailed += (strFailed.empty() ? "" : " ") +
                         std::string(w.eKind == ZkWarningKind::kCopyFailed ? "" : "?") +
                         zktest::Native(text).extension().string().substr(1);
        }
        EXPECT_EQ(ZkOutcome::kCopyFailed, report.eOutcome);
        EXPECT_EQ(report.vecWarning.empty() ? CString() : report.vecWarning[0].strText,
                  report.strPath);
        EXPECT_FALSE(report.strReason.IsEmpty());
        EXPECT_EQ(failed, strFailed);
    }
    EXPECT_EQ(0, pMgr->CopyNode(L"no such name"));
    EXPECT_EQ(ZkOutcome::kNoSuchRecord, pMgr->GetLastReport().eOutcome);
    reset();
    EXPECT_TRUE(pMgr->CopyNode(0) == 1 && pMgr->GetLastReport().Succeeded());
#if !defined(_WIN32)
    // The resource folder is read-only: nothing new appears in it, and the
    // child that tried still added the record.
    reset();
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
