#include "BenchSupport.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <vector>

#include "platform/CString.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

// ---- Heap accounting --------------------------------------------------------
// Every operator new of the program and every allocation of pugixml passes
// here. The counters are atomic because a program may allocate from several
// threads; one that does says so first (CountHeapFromThreads), and only then
// does each update pay for a locked instruction, which would otherwise weigh
// on the operation measured against its baseline.

namespace {

std::atomic<bool> g_bThreads{false};
std::atomic<int64_t> g_nLive{0};
std::atomic<int64_t> g_nPeak{0};

void Count(int64_t n)
{
    const auto relaxed = std::memory_order_relaxed;
    if (!g_bThreads.load(relaxed)) {
        const int64_t nLive = g_nLive.load(relaxed) + n;
        g_nLive.store(nLive, relaxed);
        if (nLive > g_nPeak.load(relaxed))
            g_nPeak.store(nLive, relaxed);
        return;
    }
    const int64_t nLive = g_nLive.fetch_add(n, relaxed) + n;
    int64_t nPeak = g_nPeak.load(relaxed);
    while (nLive > nPeak && !g_nPeak.compare_exchange_weak(nPeak, nLive, relaxed)) {
    }
}

void* Track(void* p)
{
    Count(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}

void Untrack(void* p)
{
    if (p != nullptr) {
        Count(-static_cast<int64_t>(malloc_usable_size(p)));
        std::free(p);
    }
}

void* PugiAllocate(size_t n)
{
    void* p = std::malloc(n);
    return p != nullptr ? Track(p) : nullptr;
}

const bool g_pugiHooked = [] {
    pugi::set_memory_management_functions(PugiAllocate, Untrack);
    return true;
}();

}  // namespace

void* operator new(size_t n)
{
    void* p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return Track(p);
}

void* operator new[](size_t n)
{
    return operator new(n);
}

void operator delete(void* p) noexcept
{
    Untrack(p);
}

void operator delete(void* p, size_t) noexcept
{
    Untrack(p);
}

void operator delete[](void* p) noexcept
{
    Untrack(p);
}

void operator delete[](void* p, size_t) noexcept
{
    Untrack(p);
}

namespace zkbench {

int64_t LiveHeapBytes()
{
    return g_nLive.load(std::memory_order_relaxed);
}

int64_t HeapPeakBytes()
{
    return g_nPeak.load(std::memory_order_relaxed);
}

void CountHeapFromThreads()
{
    g_bThreads.store(true);
}

void ResetHeapPeak()
{
    g_nPeak.store(g_nLive.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

void SettleHeap()
{
    // A request beyond the small sizes makes glibc merge its fast bins; the
    // volatile keeps the pair from being optimised away.
    void* volatile p = std::malloc(4096);
    std::free(p);
}

// ---- Paths and the data directory -------------------------------------------

namespace {

class BenchHost : public IZkHostApplication {
public:
    BenchHost()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zknd-bench-XXXXXX").string();
        if (mkdtemp(&pattern[0]) == nullptr) {
            std::perror("zknd bench: mkdtemp");
            std::exit(1);
        }
        m_strNative = pattern;
        m_strLib = ZkFromNativePath(pattern) + L"\\";
        ZkSetHostApplication(this);
    }
    ~BenchHost() override
    {
        ZkSetHostApplication(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_strNative, ec);
    }
    CString GetProductDataDirectory() const override { return m_strLib; }
    const std::string& Native() const { return m_strNative; }

private:
    std::string m_strNative;
    CString m_strLib;
};

}  // namespace

const std::string& DataDirectory()
{
    static BenchHost host;
    return host.Native();
}

// ---- Files ------------------------------------------------------------------

std::string ReadFile(const std::string& strPath)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(strPath.c_str(), "rb")) {
        char buf[1 << 16];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.append(buf, n);
        std::fclose(f);
    }
    return bytes;
}

void WriteFile(const std::string& strPath, const std::string& strBytes)
{
    // Flushed to the disk here, untimed: dirty pages left behind would be
    // written by the next timed fsync, which commits the file system's
    // journal for every file.
    std::FILE* f = std::fopen(strPath.c_str(), "wb");
    if (f == nullptr || std::fwrite(strBytes.data(), 1, strBytes.size(), f) != strBytes.size() ||
        std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
        std::fprintf(stderr, "zknd bench: cannot write %s\n", strPath.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

bool SaveLikeLibrary(const pugi::xml_document& doc, const std::string& strPath)
{
    const std::string strTemp = strPath + ".tmp";
    std::FILE* f = std::fopen(strTemp.c_str(), "wb");
    if (f == nullptr)
        return false;
    pugi::xml_writer_file writer(f);
    doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    bool ok = std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(strTemp.c_str(), strPath.c_str()) == 0;
    const std::string strFolder = std::filesystem::path(strPath).parent_path().string();
    const int fd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return ok;
}

std::string FolderOf(const std::string& strPath)
{
    return std::filesystem::path(strPath).parent_path().string() + "/";
}

void CheckSame(bool bSame, const char* pszWhat)
{
    if (!bSame)
        std::fprintf(stderr, "WARNING: %s differs between the library and its baseline\n", pszWhat);
}

// ---- Texts ------------------------------------------------------------------

std::string Utf8(const std::wstring& text)
{
    return pugi::as_utf8(text);
}

std::string RealText(double d)
{
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

std::string TripleText(const double* p)
{
    return RealText(p[0]) + "," + RealText(p[1]) + "," + RealText(p[2]);
}

namespace {

// 支架 管道 泵 基础 详图 节点 阀门 法兰 弯头 三通 异径管 吊架 导向 固定 滑动
// 保温 出口 入口 蒸汽 冷却水 消防
const wchar_t* const kChineseWords[] = {
    L"\u652F\u67B6",       L"\u7BA1\u9053", L"\u6CF5",       L"\u57FA\u7840", L"\u8BE6\u56FE",
    L"\u8282\u70B9",       L"\u9600\u95E8", L"\u6CD5\u5170", L"\u5F2F\u5934", L"\u4E09\u901A",
    L"\u5F02\u5F84\u7BA1", L"\u540A\u67B6", L"\u5BFC\u5411", L"\u56FA\u5B9A", L"\u6ED1\u52A8",
    L"\u4FDD\u6E29",       L"\u51FA\u53E3", L"\u5165\u53E3", L"\u84B8\u6C7D", L"\u51B7\u5374\u6C34",
    L"\u6D88\u9632"};
const wchar_t* const kAsciiWords[] = {L"Pump",    L"Base",  L"Support", L"Detail", L"Valve",
                                      L"Station", L"Guide", L"Anchor",  L"Hanger", L"Trunnion",
                                      L"Shoe",    L"Elbow", L"Tee",     L"Reducer"};
// 三通 弯头 异径管 法兰 管帽
const wchar_t* const kFittingKinds[] = {L"\u4E09\u901A", L"\u5F2F\u5934", L"\u5F02\u5F84\u7BA1",
                                        L"\u6CD5\u5170", L"\u7BA1\u5E3D"};
const wchar_t* const kBlockKinds[] = {L"TEE", L"ELBOW", L"REDUCER", L"FLANGE", L"CAP"};
const int kSizes[] = {15, 20, 25, 32, 40, 50, 65, 80, 100, 125, 150, 200, 250, 300, 350, 400};

template <typename T, size_t N>
const T& Pick(std::mt19937& rng, const T (&items)[N])
{
    return items[rng() % N];
}

}  // namespace

int TextMaker::Number(int nLow, int nHigh)
{
    return nLow + static_cast<int>(m_rng() % static_cast<uint32_t>(nHigh - nLow + 1));
}

std::wstring TextMaker::Word()
{
    return (m_rng() % 2 == 0) ? Pick(m_rng, kChineseWords) : Pick(m_rng, kAsciiWords);
}

std::wstring TextMaker::NodeName()
{
    std::wstring name;
    switch (m_rng() % 5) {
    case 0:  // 泵基础详图-12
        name = std::wstring(Pick(m_rng, kChineseWords)) + Pick(m_rng, kChineseWords) +
               Pick(m_rng, kChineseWords) + L"-" + std::to_wstring(Number(1, 2000));
        break;
    case 1:
        name = L"DN" + std::to_wstring(Pick(m_rng, kSizes)) + L" " + Pick(m_rng, kAsciiWords) +
               L" " + Pick(m_rng, kAsciiWords) + L" " + std::to_wstring(Number(1, 500));
        break;
    case 2:
        name = std::wstring(Pick(m_rng, kChineseWords)) + Pick(m_rng, kChineseWords) +
               std::to_wstring(Number(1, 300)) + L"(" + std::to_wstring(Number(1, 9)) + L")";
        break;
    case 3:
        name = std::wstring(Pick(m_rng, kAsciiWords)) + L"-" + std::to_wstring(Number(1, 9999)) +
               static_cast<wchar_t>(L'A' + m_rng() % 6);
        break;
    default:
        name = std::wstring(Pick(m_rng, kChineseWords)) + L"DN" +
               std::to_wstring(Pick(m_rng, kSizes)) + Pick(m_rng, kChineseWords) +
               std::to_wstring(Number(1, 99));
        break;
    }
    return name;
}

std::wstring TextMaker::Description()
{
    // 用于 ... ，DN150，H=1500mm / For ... , DN150, PN16
    if (m_rng() % 2 == 0)
        return L"\u7528\u4E8E" + Word() + Word() + L"\uFF0CDN" +
               std::to_wstring(Pick(m_rng, kSizes)) + L"\uFF0CH=" +
               std::to_wstring(Number(2, 60) * 50) + L"mm";
    return L"For " + Word() + L" " + Word() + L", DN" + std::to_wstring(Pick(m_rng, kSizes)) +
           L", PN" + std::to_wstring(Number(1, 4) * 10);
}

std::wstring TextMaker::GuidText()
{
    wchar_t buf[40];
    std::swprintf(buf, 40, L"%08X-%04X-%04X-%04X-%04X%08X", static_cast<unsigned>(m_rng()),
                  static_cast<unsigned>(m_rng() & 0xFFFF),
                  static_cast<unsigned>(0x4000 | (m_rng() & 0x0FFF)),
                  static_cast<unsigned>(0x8000 | (m_rng() & 0x3FFF)),
                  static_cast<unsigned>(m_rng() & 0xFFFF), static_cast<unsigned>(m_rng()));
    return buf;
}

double TextMaker::Coordinate()
{
    const double v = std::uniform_real_distribution<double>(-25000.0, 25000.0)(m_rng);
    switch (m_rng() % 4) {
    case 0:
        return std::round(v);
    case 1:
        return std::round(v * 2.0) / 2.0;
    case 2:
        return std::round(v * 100.0) / 100.0;
    default:
        return std::round(v * 1000.0) / 1000.0;
    }
}

std::wstring TextMaker::FittingName(int nType, int nSize)
{
    const int nSecond = kSizes[static_cast<size_t>(nSize) % 12];
    // 三通 DN100×80
    return std::wstring(kFittingKinds[nType % 5]) + L" DN" +
           std::to_wstring(kSizes[static_cast<size_t>(nSize) % 16]) + L"\u00D7" +
           std::to_wstring(nSecond) + L"-" + std::to_wstring(nType);
}

std::wstring TextMaker::BlockName(int nType, int nSize)
{
    return std::wstring(L"ZK_") + kBlockKinds[nType % 5] + L"_" +
           std::to_wstring(kSizes[static_cast<size_t>(nSize) % 16]);
}

std::wstring TextMaker::FittingDescription(int nType, int nSize)
{
    // GB/T 12459 无缝三通，20#，Sch40
    return L"GB/T 12459 \u65E0\u7F1D" + std::wstring(kFittingKinds[nType % 5]) +
           L"\uFF0C20#\uFF0C" + (nSize % 2 == 0 ? L"Sch40" : L"Sch80");
}

// ---- Registration, running and the ratio table -------------------------------

namespace {

struct Pair {
    std::string strOperation;
    std::string strSize;
    std::string strBaseline;
};

std::vector<Pair>& Pairs()
{
    static std::vector<Pair> pairs;
    return pairs;
}

struct Figures {
    std::vector<double> samples;  // seconds
    double dMedian = -1.0;
    double dPeakMB = 0.0;
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            Figures& f = m_figures[run.run_name.function_name];
            const double dSeconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            if (run.run_type == Run::RT_Aggregate)
                f.dMedian = dSeconds;
            else
                f.samples.push_back(dSeconds);
            const auto it = run.counters.find("peak_MB");
            if (it != run.counters.end())
                f.dPeakMB = std::max(f.dPeakMB, it->second.value);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-20s %-16s %11s  %-42s %11s %8s %9s %9s\n", "operation", "size", "median",
                    "baseline", "median", "ratio", "peak MB", "base MB");
        for (const Pair& pair : Pairs()) {
            const std::string strName = pair.strOperation + "/" + pair.strSize;
            const auto op = m_figures.find(strName);
            const auto base = m_figures.find(strName + "/baseline");
            if (op == m_figures.end() || base == m_figures.end())
                continue;
            const double dOp = Median(op->second);
            const double dBase = Median(base->second);
            std::printf("%-20s %-16s %11s  %-42s %11s %#7.3gx %9.3g %9.3g\n",
                        pair.strOperation.c_str(), pair.strSize.c_str(), Duration(dOp).c_str(),
                        pair.strBaseline.c_str(), Duration(dBase).c_str(), dOp / dBase,
                        op->second.dPeakMB, base->second.dPeakMB);
        }
        std::fflush(stdout);
    }

private:
    static double Median(Figures& f)
    {
        if (f.dMedian >= 0.0 || f.samples.empty())
            return f.dMedian;
        std::sort(f.samples.begin(), f.samples.end());
        const size_t n = f.samples.size();
        return n % 2 == 1 ? f.samples[n / 2] : (f.samples[n / 2 - 1] + f.samples[n / 2]) / 2.0;
    }

    static std::string Duration(double dSeconds)
    {
        char buf[32];
        if (dSeconds >= 1.0)
            std::snprintf(buf, sizeof buf, "%.3f s", dSeconds);
        else if (dSeconds >= 1e-3)
            std::snprintf(buf, sizeof buf, "%.2f ms", dSeconds * 1e3);
        else
            std::snprintf(buf, sizeof buf, "%.2f us", dSeconds * 1e6);
        return buf;
    }

    std::map<std::string, Figures> m_figures;
};

}  // namespace

void RegisterPair(const std::string& strOperation, const std::string& strSize,
                  const std::string& strBaseline,
                  std::function<void(benchmark::State&)> fnOperation,
                  std::function<void(benchmark::State&)> fnBaseline, benchmark::TimeUnit unit)
{
    const std::string strName = strOperation + "/" + strSize;
    benchmark::RegisterBenchmark(strName.c_str(), fnOperation)->UseManualTime()->Unit(unit);
    benchmark::RegisterBenchmark((strName + "/baseline").c_str(), fnBaseline)
        ->UseManualTime()
        ->Unit(unit);
    Pairs().push_back(Pair{strOperation, strSize, strBaseline});
}

pugi::xml_node AppendElement(pugi::xml_node node, const char* pszName,
                             std::initializer_list<std::pair<const char*, std::string>> attrs)
{
    pugi::xml_node child = node.append_child(pszName);
    for (const auto& attr : attrs)
        child.append_attribute(attr.first).set_value(attr.second.c_str());
    return child;
}

void RegisterLoadSave(const std::string& strWhat, const std::string& strSize,
                      std::function<const FileCase&()> fnCase, bool bUpdate)
{
    // Each side runs its untimed step, then its timed one; a false answer
    // fails the benchmark.
    auto timed = [fnCase](auto before, auto op, const char* pszError) {
        return [fnCase, before, op, pszError](benchmark::State& state) {
            const FileCase& c = fnCase();
            bool bOk = true;
            TimeEach(
                state, [&] { before(c); }, [&] { bOk = op(c) && bOk; });
            if (!bOk)
                state.SkipWithError(pszError);
        };
    };
    auto nothing = [](const FileCase&) {};
    auto parse = timed(
        nothing,
        [](const FileCase& c) {
            pugi::xml_document doc;
            const bool bOk = doc.load_file(c.strParseFile.c_str());
            benchmark::DoNotOptimize(doc.first_child());
            return bOk;
        },
        "pugixml cannot parse the file");
    RegisterPair(strWhat + "Load", strSize, "pugixml load_file, default options",
                 timed([](const FileCase& c) { c.fnBeforeLoad(); },
                       [](const FileCase& c) { return c.fnLoad(); }, "Load failed"),
                 parse, benchmark::kMillisecond);
    if (bUpdate)
        RegisterPair(strWhat + "Update", strSize, "pugixml load_file, default options",
                     timed([](const FileCase& c) { c.fnBeforeUpdate(); },
                           [](const FileCase& c) { return c.fnUpdate(); }, "Update failed"),
                     parse, benchmark::kMillisecond);
    RegisterPair(
        strWhat + "Save", strSize, "pugixml build + save + fsync + rename",
        timed([](const FileCase& c) { c.fnBeforeSave(); },
              [](const FileCase& c) { return c.fnSave(); }, "Save failed"),
        timed(
            nothing, [](const FileCase& c) { return SaveLikeLibrary(c.fnBuild(), c.strSaveFile); },
            "pugixml cannot save the file"),
        benchmark::kMillisecond);
}

int Main(int argc, char** argv, const std::function<void(bool bLarge)>& registerAll)
{
    // Defaults first: the command line can override them.
    std::vector<char*> args = {argv[0]};
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_display_aggregates_only=true";
    args.insert(args.end(), {repetitions, interleave, aggregates});
    bool bLarge = false;
    bool bConsole = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--large") == 0) {
            bLarge = true;
            continue;
        }
        if (std::strncmp(argv[i], "--benchmark_format=", 19) == 0)
            bConsole = std::strcmp(argv[i] + 19, "console") == 0;
        args.push_back(argv[i]);
    }
    int nArgs = static_cast<int>(args.size());
    benchmark::Initialize(&nArgs, args.data());
    if (benchmark::ReportUnrecognizedArguments(nArgs, args.data()))
        return 1;
    DataDirectory();  // the host must be registered before a manager is first used
    registerAll(bLarge);
    // The ratio table follows the console output; other formats stay as they are.
    RatioReporter reporter(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                  : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(bConsole ? &reporter : nullptr);
    benchmark::Shutdown();
    return 0;
}

}  // namespace zkbench
