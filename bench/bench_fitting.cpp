// Load and Save of a large fitting library, against pugixml alone on the same
// file: 20 groups of 5,000 fittings with 4 connectors each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "fitting/CFitDataManager.h"
#include "frame/ZkNodeDetail.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace {

constexpr int kGroups = 20;
constexpr int kFittingsPerGroup = 5000;
constexpr int kConnectorsPerFitting = 4;

class BenchHost : public IZkHostApplication {
public:
    BenchHost()
    {
        std::random_device rd;
        m_dir = std::filesystem::temp_directory_path() / ("zknd-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(m_dir);
    }
    ~BenchHost() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    CString GetProductDataDirectory() const override
    {
        return ZkFromNativePath(m_dir.native()) + L"\\";
    }

private:
    std::filesystem::path m_dir;
};

FittingInfo MakeGroup(int nType)
{
    FittingInfo group;
    group.SetFitType(static_cast<NodeDetailEx::FittingType>(nType));
    std::vector<FittingData>& fits = group.GetVecFitData();
    fits.reserve(kFittingsPerGroup);
    for (int i = 0; i < kFittingsPerGroup; ++i) {
        CString strGuid, strName;
        strGuid.Format(L"%08X-0000-4000-8000-%012X", nType, i);
        strName.Format(L"Fitting %d-%d", nType, i);
        FittingData fit;
        fit.SetGUID(strGuid);
        fit.SetDisplayName(strName);
        fit.SetBlockName(L"ZK_FITTING_BLOCK");
        fit.SetDescription(L"generated for the benchmark");
        fit.SetScale(1.0 + i * 0.001);
        fit.SetPos(stu3Value(i * 0.5, -i * 0.25, 1.0 / (i + 1)));
        fit.SetDirection(stu3Value(1.0, 0.0, 0.0));
        fit.SetButtressPos(stu3Value(0.0, -150.0, i * 0.1));
        std::vector<ConnectorData> cons(kConnectorsPerFitting);
        for (int k = 0; k < kConnectorsPerFitting; ++k) {
            cons[k].SetIndex(k + 1);
            cons[k].SetAngle(90.0 * k);
            cons[k].SetConType(static_cast<Pipe::ConnectionType>(k % 3));
            cons[k].SetPos(stu3Value(k * 100.0, i * 0.01, -k * 2.5));
        }
        fit.SetConnector(cons);
        fits.push_back(fit);
    }
    return group;
}

// Writes the generated library to the manager's file, then loads it.
CFitDataManager* PrepareLibrary()
{
    static BenchHost host;
    static CFitDataManager* pManager = nullptr;
    if (pManager != nullptr)
        return pManager;
    ZkSetHostApplication(&host);
    pManager = ZkFitDataManager();
    const CString strFile = pManager->GetFileName();
    std::filesystem::create_directories(
        std::filesystem::path(ZkToNativePath(strFile)).parent_path());

    CXTPPropExchange px(0, nullptr, L"FitData");
    px.SetCompactMode(1);
    auto groups = px.GetEnumerator(L"FitInfo");
    POSITION pos = groups->GetPosition(0, 1);
    for (int g = 0; g < kGroups; ++g) {
        FittingInfo group = MakeGroup(g + 1);
        group.DoPropExchange(groups->GetNext(pos).get());
    }
    if (px.SaveToFile(strFile, 1) != 0 || !pManager->Load() ||
        pManager->GetDataCount() != kGroups) {
        std::fprintf(stderr, "cannot prepare the fitting library\n");
        std::exit(1);
    }
    return pManager;
}

std::string NativeFile()
{
    return ZkToNativePath(PrepareLibrary()->GetFileName());
}

void SetFileCounters(benchmark::State& state)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(NativeFile(), ec);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["fittings"] = kGroups * kFittingsPerGroup;
}

void BM_PugixmlParse(benchmark::State& state)
{
    const std::string file = NativeFile();
    // The options the library's exchange parses with.
    const unsigned options =
        (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(file.c_str(), options))
            state.SkipWithError("pugixml cannot parse the library");
        benchmark::DoNotOptimize(doc.first_child());
    }
    SetFileCounters(state);
}

void BM_FitDataLoad(benchmark::State& state)
{
    CFitDataManager* pManager = PrepareLibrary();
    for (auto _ : state) {
        if (!pManager->Load())
            state.SkipWithError("Load failed");
    }
    SetFileCounters(state);
}

void BM_PugixmlSave(benchmark::State& state)
{
    const std::string file = NativeFile();
    pugi::xml_document doc;
    doc.load_file(file.c_str());
    const std::string out = file + ".pugixml";
    for (auto _ : state) {
        if (!doc.save_file(out.c_str(), "  ", pugi::format_default, pugi::encoding_utf8))
            state.SkipWithError("pugixml cannot write the library");
    }
    SetFileCounters(state);
}

void BM_FitDataSave(benchmark::State& state)
{
    CFitDataManager* pManager = PrepareLibrary();
    for (auto _ : state) {
        if (!pManager->Save())
            state.SkipWithError("Save failed");
    }
    SetFileCounters(state);
}

// Each run takes a second or so: a few iterations are plenty.
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FitDataLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FitDataSave)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
