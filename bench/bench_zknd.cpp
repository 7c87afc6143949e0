// What checking a data directory costs, beside a baseline in the same run, on
// a clean data directory of 100,000 node details with their drawing and slide
// files and a fitting library of 20 groups of 50 fittings:
//   zknd check of the whole directory     vs node-detail Load of the same library;
//   listing the resource folder alone     vs the same Load: the part of a check
//                                            that no code of zknd can shorten.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Check.h"
#include "ResourceFiles.h"
#include "Zknd.h"
#include "frame/ZkNodeDetail.h"

namespace {

const size_t kRecords = 100000;

using NodeLib = zkbench::LibraryOf<CNodeDetailResDataManager>;
using FitLib = zkbench::LibraryOf<CFitDataManager>;

// Writes both libraries through the library itself, and the files, once.
void MakeDataDirectory()
{
    static bool bMade = false;
    if (bMade)
        return;
    bMade = true;
    zkbench::TextMaker maker(2024);
    std::vector<NodeDetailResData> vecData(kRecords);
    std::filesystem::create_directories(NodeLib::Folder());
    for (NodeDetailResData& data : vecData) {
        const std::wstring strGuid = maker.GuidText();
        data.SetGuid(strGuid.c_str());
        data.SetDisplayName(
            (maker.NodeName() + L" " + std::to_wstring(&data - &vecData[0])).c_str());
        data.SetDescription(maker.Description().c_str());
        for (const char* pszExtension : {".dwg", ".sld"})
            std::ofstream(NodeLib::Folder() + zkbench::Utf8(strGuid) + pszExtension);
    }
    NodeLib::Manager()->SetVecNodeDetailResData(vecData);
    std::vector<FittingData> vecFit;
    for (int nType = 0; nType < 20; ++nType)
        for (int nSize = 0; nSize < 50; ++nSize) {
            FittingData fit;
            fit.SetFitType(static_cast<NodeDetailEx::FittingType>(nType));
            fit.SetGUID(maker.GuidText().c_str());
            fit.SetDisplayName(maker.FittingName(nType, nSize).c_str());
            fit.SetBlockName(maker.BlockName(nType, nSize).c_str());
            fit.SetDescription(maker.FittingDescription(nType, nSize).c_str());
            fit.SetConnector(std::vector<ConnectorData>(3));
            FitLib::Manager()->AddFit(fit);
        }
    std::filesystem::create_directories(FitLib::Folder());
    if (!NodeLib::Manager()->Save() || !FitLib::Manager()->Save())
        std::fprintf(stderr, "zknd bench: could not write the libraries\n");
}

void Load(benchmark::State& state)
{
    MakeDataDirectory();
    bool bOk = true;
    zkbench::TimeEach(
        state, [] { NodeLib::Manager()->SetVecNodeDetailResData({}); },
        [&] { bOk = NodeLib::Manager()->Load() && bOk; });
    zkbench::CheckSame(bOk && NodeLib::Manager()->GetLastReport().Succeeded() &&
                           NodeLib::Manager()->GetDataCount() == static_cast<int>(kRecords),
                       "Load");
}

void Check(benchmark::State& state)
{
    MakeDataDirectory();
    int nStatus = 0;
    zknd::StringOutput out;
    zkbench::TimeEach(
        state,
        [&] {
            // As for the Load beside it, and as in a new process: no records
            // to drop first.
            out = zknd::StringOutput();
            NodeLib::Manager()->SetVecNodeDetailResData({});
        },
        [&] {
            nStatus = zknd::Run({"check", zkbench::DataDirectory()}, out);
        });
    if (nStatus != 0)
        state.SkipWithError(("zknd check found problems: " + out.m_out.substr(0, 300)).c_str());
}

void ListResourceFolder(benchmark::State& state)
{
    MakeDataDirectory();
    size_t nEntries = 0;
    zkbench::TimeEach(
        state, [] {}, [&] { nEntries = zknd::ResourceFiles::List(NodeLib::Folder()).Size(); });
    zkbench::CheckSame(nEntries == 2 * kRecords, "the files listed");
}

}  // namespace

int main(int argc, char** argv)
{
    zkbench::CountHeapFromThreads();  // the check lists the folder on a second thread
    return zkbench::Main(argc, argv, [](bool) {
        const std::string strSize = std::to_string(kRecords);
        zkbench::RegisterPair("zknd check", strSize, "node-detail Load of the same library", Check,
                              Load, benchmark::kMillisecond);
        zkbench::RegisterPair("resource folder listed", strSize,
                              "node-detail Load of the same library", ListResourceFolder, Load,
                              benchmark::kMillisecond);
    });
}
