// The node-detail file copy (CopyFileW) on large drawings beside
// std::filesystem::copy_file with the same flush. Each copy runs in a child
// process, which reports its time and how far it raised the process's peak
// resident memory (ru_maxrss): the "peak MB" of this program's table.
//
// And the node-detail Save of 100,000 records in the product's own layout,
// the library beside each record's drawing and slide (200,000 files), beside
// the same Save with the library alone in its folder.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "nodedetail/CNodeDetailResDataManager.h"
#include "platform/ZkPath.h"
#include "platform/internal/files/Os.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    double dSeconds = 0;
    long nPeakGrowthKiB = 0;
    bool bOk = false;
};

// Runs copy() in a child process and returns what it reported.
template <typename Copy>
Outcome InChild(Copy&& copy)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const auto t0 = std::chrono::steady_clock::now();
        Outcome out;
        out.bOk = copy();
        out.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        getrusage(RUSAGE_SELF, &after);
        out.nPeakGrowthKiB = after.ru_maxrss - before.ru_maxrss;
        _exit(write(fds[1], &out, sizeof out) == sizeof out ? 0 : 1);
    }
    close(fds[1]);
    Outcome out;
    if (pid < 0 || read(fds[0], &out, sizeof out) != sizeof out)
        out = Outcome();
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return out;
}

// A drawing of nSize bytes: all data, or data only in four 1 MiB pieces.
std::string MakeDrawing(const std::string& strName, off_t nSize, bool bSparse)
{
    const std::string strPath = zkbench::DataDirectory() + "/" + strName;
    const int fd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string chunk(1 << 20, 'd');
    for (off_t at = 0; at < nSize; at += off_t(1) << 20) {
        const bool bData = !bSparse || at == 0 || at == nSize / 3 || at == 2 * nSize / 3 ||
                           at == nSize - (off_t(1) << 20);
        if (bData && pwrite(fd, chunk.data(), chunk.size(), at) != ssize_t(chunk.size()))
            break;
    }
    if (ftruncate(fd, nSize) != 0 || fsync(fd) != 0)
        std::perror("drawing");
    close(fd);
    return strPath;
}

bool CopyAndFlush(const std::string& from, const std::string& to)
{
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec))
        return false;
    const int fd = open(to.c_str(), O_WRONLY);
    const bool ok = fd >= 0 && fsync(fd) == 0;
    close(fd);
    return ok;
}

void Register(const std::string& strSize, off_t nSize, bool bSparse)
{
    auto run = [=](benchmark::State& state, bool bLibrary) {
        static std::string strFrom;
        const std::string strName = "drawing-" + strSize;
        if (strFrom.empty() || strFrom.find(strName) == std::string::npos)
            strFrom = MakeDrawing(strName + ".dwg", nSize, bSparse);
        const std::string strTo = zkbench::DataDirectory() + "/copy.dwg";
        long nPeak = 0;
        for (auto _ : state) {
            fs::remove(strTo);
            const Outcome out = InChild([&] {
                return bLibrary
                           ? CopyFileW(ZkFromNativePath(strFrom), ZkFromNativePath(strTo), 0) != 0
                           : CopyAndFlush(strFrom, strTo);
            });
            if (!out.bOk) {
                state.SkipWithError("the copy failed");
                break;
            }
            state.SetIterationTime(out.dSeconds);
            nPeak = out.nPeakGrowthKiB > nPeak ? out.nPeakGrowthKiB : nPeak;
        }
        state.counters["peak_MB"] = static_cast<double>(nPeak) / 1024.0;
    };
    zkbench::RegisterPair(
        "CopyFileW", strSize, "std::filesystem::copy_file, then fsync",
        [run](benchmark::State& s) { run(s, true); }, [run](benchmark::State& s) { run(s, false); },
        benchmark::kMillisecond);
}

using NodeLib = zkbench::LibraryOf<CNodeDetailResDataManager>;

// The library's folder with and without the records' files. Swapping the two
// folders (two renames) puts either in place, untimed.
struct Folders {
    std::string strInPlace;
    std::string strCrowded;  // the drawings and slides, while the other is in place
    std::string strAlone;    // the library alone, while the other is in place
    bool bCrowdedInPlace = true;

    void Put(bool bCrowded)
    {
        if (bCrowded == bCrowdedInPlace)
            return;
        const std::string& strOut = bCrowded ? strAlone : strCrowded;
        const std::string& strIn = bCrowded ? strCrowded : strAlone;
        fs::rename(strInPlace, strOut);
        fs::rename(strIn, strInPlace);
        bCrowdedInPlace = bCrowded;
    }
};

Folders& MakeFolders(size_t nRecords)
{
    static Folders folders;
    if (!folders.strInPlace.empty())
        return folders;
    zkbench::TextMaker maker(7);
    std::vector<NodeDetailResData> records(nRecords);
    const std::string strFolder = NodeLib::Folder();
    fs::create_directories(strFolder);
    for (NodeDetailResData& record : records) {
        const std::wstring strGuid = maker.GuidText();
        record.SetGuid(strGuid.c_str());
        record.SetDisplayName(maker.NodeName().c_str());
        record.SetDescription(maker.Description().c_str());
        for (const char* pszExtension : {".dwg", ".sld"})
            zkbench::WriteFile(strFolder + zkbench::Utf8(strGuid) + pszExtension, "");
    }
    NodeLib::Manager()->SetVecNodeDetailResData(records);
    folders.strInPlace = strFolder.substr(0, strFolder.size() - 1);
    folders.strCrowded = folders.strInPlace + ".crowded";
    folders.strAlone = folders.strInPlace + ".alone";
    fs::create_directories(folders.strAlone);
    return folders;
}

void RegisterSaveBesideFiles(size_t nRecords)
{
    auto run = [nRecords](benchmark::State& state, bool bCrowded) {
        Folders& folders = MakeFolders(nRecords);
        bool bOk = true;
        zkbench::TimeEach(
            state, [&] { folders.Put(bCrowded); },
            [&] { bOk = NodeLib::Manager()->Save() && bOk; });
        if (!bOk)
            state.SkipWithError("Save failed");
    };
    zkbench::RegisterPair(
        "Save beside the drawings and slides", std::to_string(nRecords),
        "the same Save, the library alone in its folder",
        [run](benchmark::State& s) { run(s, true); }, [run](benchmark::State& s) { run(s, false); },
        benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv)
{
    return zkbench::Main(argc, argv, [](bool) {
        Register("256MiB", off_t(256) << 20, false);
        Register("1GiB-sparse", off_t(1) << 30, true);
        RegisterSaveBesideFiles(100000);
    });
}
