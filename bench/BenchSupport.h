#pragma once

// What the benchmark programs share: a data directory registered as the
// host's, native paths, a count of live heap bytes, generated texts of a
// product library's kind, pugixml saving with the library's flush, and a main
// that runs each operation beside its baseline and prints their ratios.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>

#include <pugixml.hpp>

#include "platform/ZkPath.h"

namespace zkbench {

// A fresh folder under the system's temporary folder, registered as the
// host's data directory on first use and removed at exit.
const std::string& DataDirectory();

// Heap bytes live now, and the most live since the last ResetHeapPeak(): all
// of operator new and of pugixml's allocations, by malloc_usable_size.
int64_t LiveHeapBytes();
int64_t HeapPeakBytes();
void ResetHeapPeak();
// For a program whose operations allocate from more than one thread: call
// before any of them starts.
void CountHeapFromThreads();

// Finishes what the heap was asked to free: glibc keeps small freed blocks
// unmerged until the next large request, which would otherwise pay for a
// free made before the timing started.
void SettleHeap();

// Runs prepare() untimed and op() timed in every iteration (the benchmark
// must use manual time), and reports as "peak_MB" the most heap that op()
// held at once above what was live when it started.
template <typename Prepare, typename Op>
void TimeEach(benchmark::State& state, Prepare&& prepare, Op&& op)
{
    int64_t nPeak = 0;
    for (auto _ : state) {
        prepare();
        SettleHeap();
        const int64_t nBase = LiveHeapBytes();
        ResetHeapPeak();
        const auto t0 = std::chrono::steady_clock::now();
        op();
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        const int64_t nHeld = HeapPeakBytes() - nBase;
        nPeak = nHeld > nPeak ? nHeld : nPeak;
    }
    state.counters["peak_MB"] = static_cast<double>(nPeak) / (1024.0 * 1024.0);
}

// Registers an operation and its baseline, both with manual time, under the
// names "<operation>/<size>" and "<operation>/<size>/baseline"; the ratio
// table pairs them.
void RegisterPair(const std::string& strOperation, const std::string& strSize,
                  const std::string& strBaseline,
                  std::function<void(benchmark::State&)> fnOperation,
                  std::function<void(benchmark::State&)> fnBaseline, benchmark::TimeUnit unit);

// One library file's Load, Update (a reload over the loaded list) and Save,
// each beside its baseline: pugixml parsing the same bytes, and pugixml
// building the same document and saving it with the same flush. The "before"
// steps run untimed.
struct FileCase {
    std::function<void()> fnBeforeLoad;    // the file in place, the list empty
    std::function<bool()> fnLoad;          // true when every record was read
    std::function<void()> fnBeforeUpdate;  // the file in place, its records in the list
    std::function<bool()> fnUpdate;        // true when every record was read
    std::function<void()> fnBeforeSave;    // the records in the list
    std::function<bool()> fnSave;
    std::function<pugi::xml_document()> fnBuild;
    std::string strParseFile;  // a copy of the file for the baseline
    std::string strSaveFile;   // where the baseline saves, beside the library
};

// Registers "<strWhat>Load", "<strWhat>Update" (with bUpdate) and
// "<strWhat>Save"; fnCase makes the case on its first call, inside the first
// of them to run.
void RegisterLoadSave(const std::string& strWhat, const std::string& strSize,
                      std::function<const FileCase&()> fnCase, bool bUpdate = false);

// Parses "--large" (include the slow cases), calls registerAll, runs with 5
// repetitions interleaved at random unless told otherwise, and prints
// "operation, size, median, baseline, baseline median, ratio, peak memory"
// after the console output (not with another --benchmark_format).
int Main(int argc, char** argv, const std::function<void(bool bLarge)>& registerAll);

// Texts as a piping product's libraries hold them.
class TextMaker {
public:
    explicit TextMaker(uint32_t nSeed) : m_rng(nSeed) {}

    int Number(int nLow, int nHigh);
    // Chinese and ASCII names with digit runs, some with "(n)" suffixes.
    std::wstring NodeName();
    std::wstring Description();
    // Canonical upper-case GUID text, 36 characters.
    std::wstring GuidText();
    // A coordinate in millimetres with at most three decimals.
    double Coordinate();
    // A fitting's display name, block name and description.
    std::wstring FittingName(int nType, int nSize);
    std::wstring BlockName(int nType, int nSize);
    std::wstring FittingDescription(int nType, int nSize);
    // A short Chinese or ASCII word.
    std::wstring Word();

private:
    std::mt19937 m_rng;
};

// UTF-8 of wide text.
std::string Utf8(const std::wstring& text);
// Shortest text that reads back to the same double, and "x,y,z" of three.
std::string RealText(double d);
std::string TripleText(const double* p);

// Saves as the library saves: UTF-8 with declaration, two-space indent, to a
// temporary file beside the target, flushed to disk, renamed over the target,
// the folder flushed.
bool SaveLikeLibrary(const pugi::xml_document& doc, const std::string& strPath);

std::string ReadFile(const std::string& strPath);
// The folder of a native path, with a trailing separator.
std::string FolderOf(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strBytes);

// A library manager, its file and the file's folder, native.
template <typename M>
struct LibraryOf {
    static M* Manager() { return M::Instance(); }
    static const std::string& File()
    {
        static const std::string path = ZkToNativePath(M::Instance()->GetFileName());
        return path;
    }
    static std::string Folder() { return FolderOf(File()); }
};

// Appends a child element with these attributes, in order, to node.
pugi::xml_node AppendElement(pugi::xml_node node, const char* pszName,
                             std::initializer_list<std::pair<const char*, std::string>> attrs);

// Which generated library the manager's list holds and whose bytes its file
// holds, so that untimed set-up rewrites only what changed.
struct Holdings {
    const void* pList = nullptr;
    const void* pFile = nullptr;

    // Puts pOwner's bytes into the file unless they are there already.
    void File(const void* pOwner, const std::string& strPath, const std::string& strBytes)
    {
        if (pFile != pOwner) {
            WriteFile(strPath, strBytes);
            pFile = pOwner;
        }
    }
};

// Prints a warning when a baseline's result differs from the library's.
void CheckSame(bool bSame, const char* pszWhat);

}  // namespace zkbench
