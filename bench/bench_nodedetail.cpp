// Load, Save and SortData of the node-detail resource library on a generated
// library of 100,000 records, against baselines in the same run: pugixml
// parsing (and writing) the same file alone, and std::sort of the same names
// by plain ordinal comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <pugixml.hpp>

#include "nodedetail/CNodeDetailResDataManager.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 100000;

class BenchHost : public IZkHostApplication {
public:
    BenchHost()
    {
        std::random_device rd;
        m_dir = fs::temp_directory_path() / ("zk_bench_" + std::to_string(rd()));
        fs::create_directories(ResourceFolder());
        m_strDir = ZkFromNativePath(m_dir.native()) + L"\\";
    }
    ~BenchHost() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    CString GetProductDataDirectory() const override { return m_strDir; }
    fs::path ResourceFolder() const
    {
        return m_dir / fs::u8path(u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u6210\u679C\u5E93");
    }

private:
    fs::path m_dir;
    CString m_strDir;
};

// Names as a product library holds them: Chinese and Latin stems, numbers
// of varying length, suffixes, duplicates.
std::vector<NodeDetailResData> Generate()
{
    const wchar_t* stems[] = {L"\u652F\u67B6\u8BE6\u56FE", L"Detail-", L"Pump base ",
                              L"\u7BA1\u9053\u652F\u67B6", L"DN",      L"Valve station "};
    const wchar_t* suffixes[] = {L"", L"b", L"-A", L"(1)", L".2"};
    std::mt19937 rng(12345);
    std::vector<NodeDetailResData> v;
    v.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        std::wstring name = stems[rng() % 6];
        name += std::to_wstring(rng() % 20000);
        name += suffixes[rng() % 5];
        NodeDetailResData data(name.c_str());
        data.SetDescription((L"Generated node detail " + std::to_wstring(i)).c_str());
        v.push_back(data);
    }
    return v;
}

struct Fixture {
    BenchHost host;
    std::vector<NodeDetailResData> records;
    std::string xmlPath;  // native

    Fixture()
    {
        ZkSetHostApplication(&host);
        records = Generate();
        CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
        pMgr->SetVecNodeDetailResData(records);
        pMgr->Save();
        xmlPath = (host.ResourceFolder() / "NodeDetailDataEx.xml").string();
    }
};

Fixture& Fix()
{
    static Fixture fixture;
    return fixture;
}

// The host must be registered before the manager's first use.
CNodeDetailResDataManager* Mgr()
{
    Fix();
    return CNodeDetailResDataManager::Instance();
}

void BM_Load(benchmark::State& state)
{
    CNodeDetailResDataManager* pMgr = Mgr();
    for (auto _ : state) {
        if (!pMgr->Load())
            state.SkipWithError("Load failed");
        benchmark::DoNotOptimize(pMgr->GetDataCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PugixmlParse(benchmark::State& state)
{
    const std::string path = Fix().xmlPath;
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(path.c_str()))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_Save(benchmark::State& state)
{
    CNodeDetailResDataManager* pMgr = Mgr();
    pMgr->SetVecNodeDetailResData(Fix().records);
    for (auto _ : state) {
        if (!pMgr->Save())
            state.SkipWithError("Save failed");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PugixmlSave(benchmark::State& state)
{
    pugi::xml_document doc;
    doc.load_file(Fix().xmlPath.c_str());
    const std::string out = Fix().xmlPath + ".copy";
    for (auto _ : state) {
        if (!doc.save_file(out.c_str()))
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SortData(benchmark::State& state)
{
    CNodeDetailResDataManager* pMgr = Mgr();
    const std::vector<NodeDetailResData>& records = Fix().records;
    for (auto _ : state) {
        state.PauseTiming();
        // Fresh copies, laid out in list order as after a Load.
        pMgr->SetVecNodeDetailResData({});
        pMgr->SetVecNodeDetailResData(records);
        state.ResumeTiming();
        pMgr->SortData();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SortOrdinalNames(benchmark::State& state)
{
    std::vector<CString> names;
    for (const NodeDetailResData& data : Fix().records)
        names.push_back(data.GetDisplayName());
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CString> v = names;
        state.ResumeTiming();
        std::sort(v.begin(), v.end(),
                  [](const CString& a, const CString& b) { return a.Compare(b) < 0; });
        benchmark::DoNotOptimize(v.data());
        state.PauseTiming();
        v = std::vector<CString>();  // freeing is not part of the sort
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

}  // namespace

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortData)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortOrdinalNames)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
