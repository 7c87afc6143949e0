// Several product processes saving both libraries of one data directory at
// once (merge_worker), and a saver killed while it holds the lock
// (lock_holder). At the end the files hold every edit a worker's successful
// Save wrote (a name the merge changed is in that worker's log too), no
// deletion came back, no two node details share a GUID text or a name, no
// fitting group a type, no two fittings of a group a GUID text or a name,
// and both files load. No saver is stuck behind one that was killed.

#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "TestUtil.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

using zktest::Ascii;

// The programs lie beside this one.
fs::path Program(const char* pszName)
{
#if defined(_WIN32)
    std::wstring buf(32768, L'\0');
    buf.resize(GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size())));
    return fs::path(buf).parent_path() / (std::string(pszName) + ".exe");
#else
    return fs::read_symlink("/proc/self/exe").parent_path() / pszName;
#endif
}

class Process {
public:
    Process(const fs::path& program, const std::vector<fs::path::string_type>& args)
    {
#if defined(_WIN32)
        std::wstring line = L"\"" + program.native() + L"\"";
        for (const std::wstring& a : args)
            line += L" \"" + a + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hThread);
            m_h = pi.hProcess;
        }
#else
        std::vector<std::string> all = {program.native()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
#endif
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process()
    {
        if (Started()) {
            Kill();
            Wait();
        }
    }

    bool Started() const
    {
#if defined(_WIN32)
        return m_h != nullptr;
#else
        return m_pid > 0;
#endif
    }

    // The exit status; -1 when killed.
    int Wait()
    {
#if defined(_WIN32)
        if (m_h == nullptr)
            return -1;
        WaitForSingleObject(m_h, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(m_h, &code);
        CloseHandle(m_h);
        m_h = nullptr;
        return m_bKilled ? -1 : static_cast<int>(code);
#else
        if (m_pid <= 0)
            return -1;
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }

    // As SIGKILL does: no chance to release anything.
    void Kill()
    {
#if defined(_WIN32)
        m_bKilled = TerminateProcess(m_h, 9) != 0;
#else
        kill(m_pid, SIGKILL);
#endif
    }

private:
#if defined(_WIN32)
    HANDLE m_h = nullptr;
    bool m_bKilled = false;
#else
    pid_t m_pid = -1;
#endif
};

fs::path::string_type Arg(const std::string& s)
{
    return fs::path(s).native();
}

std::string Folded(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> out(1);
    for (const char c : line)
        if (c == '\t')
            out.emplace_back();
        else
            out.back() += c;
    return out;
}

const int kSeeds = 3;
const int kSharedTypes = 3;

// Shared node details Seed0 to Seed2 with their drawings and slides; a
// group of each of the types 1 to 3 with one shared fitting.
void WriteSharedLibraries()
{
    zktest::ResetDataDirectory();
    const fs::path nd = zktest::Library::NodeDetail().file;
    std::string xml = "<NodeDetailResData>";
    for (int i = 0; i < kSeeds; ++i) {
        const std::string g = "SEED-" + std::to_string(i);
        xml += "<NodeDetailResDataRow GuId='" + g + "' DisplayName='Seed" + std::to_string(i) +
               "' Description='first'/>";
        zktest::WriteBytes(nd.parent_path() / (g + ".dwg"), "drawing");
        zktest::WriteBytes(nd.parent_path() / (g + ".sld"), "slide");
    }
    zktest::WriteBytes(nd, xml + "</NodeDetailResData>");
    xml = "<FitData>";
    for (int t = 1; t <= kSharedTypes; ++t)
        xml += "<FitInfo FitType='" + std::to_string(t) + "'><FitRow GUID='S-" + std::to_string(t) +
               "' DisplayName='Shared" + std::to_string(t) + "'/></FitInfo>";
    zktest::WriteBytes(zktest::Library::Fitting().file, xml + "</FitData>");
}

struct Expected {
    bool bPresent = true;
    std::string strName;
    int nType = 0;  // fittings
};

// The figures of a run, and what did not hold.
struct Findings {
    int nEdits = 0, nSaves = 0, nMerged = 0, nLocked = 0, nConflicts = 0, nRenames = 0;
    int nLost = 0;
    std::vector<std::string> problems;
    void Problem(const std::string& what)
    {
        ++nLost;
        if (problems.size() < 20)
            problems.push_back(what);
    }
};

// Each record a worker logged is there when its last edit left it there and
// gone when deleted; differs says what else is wrong with one found ("" when
// nothing).
template <typename Found, typename Differs>
void CheckLogged(Findings& f, const std::string& what,
                 const std::map<std::string, Expected>& logged, const Found& found, Differs differs)
{
    for (const auto& [g, e] : logged) {
        const auto it = found.find(Folded(g));
        if (e.bPresent && it == found.end())
            f.Problem(what + " " + g + " (" + e.strName + ") is lost");
        else if (!e.bPresent && it != found.end())
            f.Problem(what + " " + g + " came back after its deletion");
        else if (e.bPresent) {
            const std::string why = differs(e, it->second);
            if (!why.empty())
                f.Problem(what + " " + g + why);
        }
    }
}

// Replays the workers' logs and compares the files with them: one function,
// as the replay and the comparison share every table they build.
Findings Check(const std::vector<fs::path>& logs)
{
    Findings f;
    std::map<std::string, Expected> nd, fit;
    std::map<std::string, std::set<std::string>> descriptions;
    for (const fs::path& log : logs) {
        std::istringstream in(zktest::ReadBytes(log));
        std::string line;
        while (std::getline(in, line)) {
            const std::vector<std::string> v = Fields(line);
            const std::string& what = v[0];
            if (what == "totals" && v.size() == 6) {
                f.nSaves += std::stoi(v[1]);
                f.nMerged += std::stoi(v[2]);
                f.nLocked += std::stoi(v[3]);
                if (std::stoi(v[4]) != 0)
                    f.Problem(log.filename().string() + ": a save failed");
                f.nEdits += std::stoi(v[5]);
            } else if (what == "nd-add") {
                nd[v.at(1)] = {true, v.at(2), 0};
            } else if (what == "nd-rename" || what == "nd-merge-rename") {
                nd[v.at(1)].strName = v.at(2);
                f.nRenames += what == "nd-merge-rename";
            } else if (what == "nd-del") {
                nd[v.at(1)].bPresent = false;
            } else if (what == "nd-desc") {
                descriptions[v.at(1)].insert(v.at(2));
            } else if (what == "fit-add") {
                fit[v.at(2)] = {true, v.at(3), std::stoi(v.at(1))};
            } else if (what == "fit-rename" || what == "fit-merge-rename") {
                fit[v.at(1)].strName = v.at(2);
                f.nRenames += what == "fit-merge-rename";
            } else if (what == "fit-del") {
                fit[v.at(1)].bPresent = false;
            } else if (what == "nd-conflict" || what == "fit-conflict") {
                ++f.nConflicts;
            } else if (what != "nd-note" && what != "fit-note") {
                f.Problem("unknown log line: " + line);
            }
        }
    }

    // The node details.
    CNodeDetailResDataManager* pNd = ZkNodeDetailResDataManager();
    if (!pNd->Load())
        f.Problem("the node-detail library does not load");
    std::vector<NodeDetailResData> records;
    pNd->GetVecNodeDetailResData(records);
    std::map<std::string, const NodeDetailResData*> byGuid;
    std::set<std::string> names;
    for (const NodeDetailResData& r : records) {
        const std::string g = Ascii(r.GetGuid());
        if (!byGuid.emplace(Folded(g), &r).second)
            f.Problem("two node details have the GUID text " + g);
        if (!names.insert(Folded(Ascii(r.GetDisplayName()))).second)
            f.Problem("two node details are named " + Ascii(r.GetDisplayName()));
        if (g.rfind("SEED-", 0) != 0 && nd.count(g) == 0)
            f.Problem("node detail " + g + " was added by no worker");
    }
    CheckLogged(f, "node detail", nd, byGuid, [](const Expected& e, const NodeDetailResData* p) {
        const std::string name = Ascii(p->GetDisplayName());
        return name == e.strName ? std::string() : " is named " + name + ", not " + e.strName;
    });
    for (int i = 0; i < kSeeds; ++i) {
        const std::string g = "SEED-" + std::to_string(i);
        const auto it = byGuid.find(Folded(g));
        if (it == byGuid.end()) {
            f.Problem("shared node detail " + g + " is lost");
            continue;
        }
        const std::string d = Ascii(it->second->GetDescription());
        const std::set<std::string>& written = descriptions[g];
        if (written.empty() ? d != "first" : written.count(d) == 0)
            f.Problem("shared node detail " + g + " has a description no save wrote: " + d);
    }

    // The fittings.
    CFitDataManager* pFit = ZkFitDataManager();
    if (!pFit->Load())
        f.Problem("the fitting library does not load");
    std::vector<FittingInfo> groups;
    pFit->GetVecFitInfo(groups);
    std::set<int> types;
    std::map<std::string, std::pair<int, std::string>> fits;  // GUID: type, name
    for (FittingInfo& group : groups) {
        const int nType = static_cast<int>(group.GetFitType());
        if (!types.insert(nType).second)
            f.Problem("two fitting groups have the type " + std::to_string(nType));
        std::set<std::string> groupNames;
        for (const FittingData& fitting : group.GetVecFitData()) {
            const std::string g = Ascii(fitting.GUID());
            if (!fits.emplace(Folded(g), std::make_pair(nType, Ascii(fitting.GetDisplayName())))
                     .second)
                f.Problem("fitting GUID text " + g + " is there twice");
            if (!groupNames.insert(Folded(Ascii(fitting.GetDisplayName()))).second)
                f.Problem("two fittings of type " + std::to_string(nType) + " are named " +
                          Ascii(fitting.GetDisplayName()));
            if (g.rfind("S-", 0) != 0 && fit.count(g) == 0)
                f.Problem("fitting " + g + " was added by no worker");
        }
    }
    CheckLogged(f, "fitting", fit, fits,
                [](const Expected& e, const std::pair<int, std::string>& t) {
                    if (t.first == e.nType && t.second == e.strName)
                        return std::string();
                    return " is " + t.second + " of type " + std::to_string(t.first) + ", not " +
                           e.strName + " of type " + std::to_string(e.nType);
                });
    for (int t = 1; t <= kSharedTypes; ++t)
        if (fits.count(Folded("S-" + std::to_string(t))) == 0)
            f.Problem("shared fitting S-" + std::to_string(t) + " is lost");
    return f;
}

using MergeProcessesTest = zktest::LibraryTest;

}  // namespace

TEST_F(MergeProcessesTest, WorkersSavingBothLibrariesAtOnceLoseNothing)
{
    const int kWorkers = 4;
    const int kRounds = 50;
    WriteSharedLibraries();
    const unsigned nSeed = std::random_device()();
    std::vector<fs::path> logs;
    std::vector<std::unique_ptr<Process>> workers;
    for (int w = 0; w < kWorkers; ++w) {
        logs.push_back(zktest::NativeDataDirectory() / ("worker" + std::to_string(w) + ".log"));
        workers.push_back(std::make_unique<Process>(
            Program("merge_worker"),
            std::vector<fs::path::string_type>{
                zktest::NativeDataDirectory().native(), Arg(std::to_string(w + 1)),
                Arg(std::to_string(kRounds)), Arg(std::to_string(nSeed + static_cast<unsigned>(w))),
                logs.back().native()}));
        ASSERT_TRUE(workers.back()->Started());
    }
    for (auto& worker : workers)
        EXPECT_EQ(0, worker->Wait());
    const Findings f = Check(logs);
    std::printf(
        "merge: %d processes x %d rounds on both libraries (seed %u): %d edits in %d "
        "saves, %d of them merged; %d conflicts, %d names changed by a merge, %d saves "
        "that gave up waiting; %d lost\n",
        kWorkers, kRounds, nSeed, f.nEdits, f.nSaves, f.nMerged, f.nConflicts, f.nRenames,
        f.nLocked, f.nLost);
    for (const std::string& problem : f.problems)
        ADD_FAILURE() << problem;
    EXPECT_EQ(0, f.nLost);
    // The run tested what it is meant to: saves that merged, and edits.
    EXPECT_GT(f.nMerged, 0);
    EXPECT_GT(f.nEdits, kWorkers * kRounds);
}

// A saver killed while it holds the lock leaves nothing held: the next Save
// goes through. While it lives, a Save gives up after its wait, changing
// nothing, and a Load does not wait at all.
TEST_F(MergeProcessesTest, ASaverKilledHoldingTheLockBlocksNoOne)
{
    WriteSharedLibraries();
    const zktest::Library libs[] = {zktest::Library::NodeDetail(), zktest::Library::Fitting()};
    for (const zktest::Library& lib : libs) {
        SCOPED_TRACE(lib.file);
        ASSERT_TRUE(lib.load());
        const fs::path marker = zktest::NativeDataDirectory() / "locked";
        fs::remove(marker);
        Process holder(Program("lock_holder"),
                       std::vector<fs::path::string_type>{lib.file.native(), marker.native()});
        ASSERT_TRUE(holder.Started());
        for (int i = 0; i < 3000 && !fs::exists(marker); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::exists(marker));

        const std::string bytes = zktest::ReadBytes(lib.file);
        EXPECT_TRUE(lib.load());
        ASSERT_TRUE(lib.rename(L"Renamed"));
        EXPECT_FALSE(lib.save());
        EXPECT_EQ(ZkOutcome::kLocked, lib.report().eOutcome);
        EXPECT_EQ(bytes, zktest::ReadBytes(lib.file));

        holder.Kill();
        EXPECT_EQ(-1, holder.Wait());
        EXPECT_TRUE(lib.save());
        EXPECT_TRUE(lib.report().Succeeded());
        EXPECT_NE(std::string::npos, zktest::ReadBytes(lib.file).find("Renamed"));
    }
}
