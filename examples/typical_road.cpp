// A host module's typical use of the library, run on a sample data directory
// that the program makes for itself under the system's temporary folder.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "Utf.h"
#include "fitting_library.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace fs = std::filesystem;
using ZkUtf::Utf8;

namespace {

// The host application object of the sample: it answers the data directory.
class SampleHost : public IZkHostApplication {
public:
    // The library's path form of a folder ends with a backslash.
    explicit SampleHost(const fs::path& dataDir)
        : m_strDir(ZkFromNativePath(dataDir.native()) + L"\\")
    {
    }
    CString GetProductDataDirectory() const override { return m_strDir; }

private:
    CString m_strDir;
};

fs::path ResourceFolder(const fs::path& dataDir)
{
    return dataDir / fs::u8path(u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u6210\u679C\u5E93");
}

struct SampleDetail {
    const char* guid;
    const char* name;  // UTF-8
    const char* description;
};

// A resource library as the product leaves it: the XML file and, for every
// node detail, its drawing and slide file named after the GUID.
bool WriteSampleResourceLibrary(const fs::path& dataDir)
{
    const SampleDetail details[] = {
        {"5B0C1E2A-6F41-4D0B-9C57-1A2B3C4D5E01", u8"\u652F\u67B6\u8BE6\u56FE10",
         "Pipe support, type 10"},
        {"5B0C1E2A-6F41-4D0B-9C57-1A2B3C4D5E02", "Detail10", "Valve station"},
        {"5B0C1E2A-6F41-4D0B-9C57-1A2B3C4D5E03", "Pump base", "Pump base with anchor bolts"},
        {"5B0C1E2A-6F41-4D0B-9C57-1A2B3C4D5E04", u8"\u652F\u67B6\u8BE6\u56FE2",
         "Pipe support, type 2"},
        {"5B0C1E2A-6F41-4D0B-9C57-1A2B3C4D5E05", "Detail2", "Drain point"},
    };
    const fs::path folder = ResourceFolder(dataDir);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return false;

    std::ofstream xml(folder / "NodeDetailDataEx.xml", std::ios::binary | std::ios::trunc);
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NodeDetailResData>\n";
    for (const SampleDetail& d : details) {
        xml << "  <NodeDetailResDataRow GuId=\"" << d.guid << "\" DisplayName=\"" << d.name
            << "\" Description=\"" << d.description << "\"/>\n";
        std::ofstream(folder / (std::string(d.guid) + ".dwg"), std::ios::binary)
            << "sample drawing of " << d.name << "\n";
        std::ofstream(folder / (std::string(d.guid) + ".sld"), std::ios::binary)
            << "sample slide of " << d.name << "\n";
    }
    xml << "</NodeDetailResData>\n";
    return static_cast<bool>(xml);
}

void PrintLibrary(CNodeDetailResDataManager* pMgr)
{
    std::vector<NodeDetailResData> vecData;
    pMgr->GetVecNodeDetailResData(vecData);
    for (size_t i = 0; i < vecData.size(); ++i) {
        std::printf("  %zu  %s  %s (%s)\n", i, Utf8(vecData[i].GetGuid()).c_str(),
                    Utf8(vecData[i].GetDisplayName()).c_str(),
                    Utf8(vecData[i].GetDescription()).c_str());
    }
}

// Load, sort, list, copy a node detail with its files, save.
int RunNodeDetailRoad(const fs::path& dataDir)
{
    std::printf("== Node-detail resource library\n");
    CNodeDetailResDataManager* pMgr = ZkNodeDetailResDataManager();
    std::printf("file: %s\n", Utf8(pMgr->GetFileName()).c_str());

    if (!pMgr->Load()) {
        std::printf("Load failed\n");
        return 1;
    }
    std::printf("Load: %d node details, changed flag %d\n", pMgr->GetDataCount(),
                pMgr->DataChanged() ? 1 : 0);

    pMgr->SortData();
    std::printf("SortData, natural name order:\n");
    PrintLibrary(pMgr);

    NodeDetailResData source;
    const int nIndex = pMgr->FindDataByDisplayName(L"pump base", source);
    if (nIndex < 0) {
        std::printf("no node detail named \"pump base\"\n");
        return 1;
    }
    const int nCopied = pMgr->CopyNode(nIndex);
    std::printf("CopyNode(%d) of \"%s\": %d (1: drawing and slide copied)\n", nIndex,
                Utf8(source.GetDisplayName()).c_str(), nCopied);
    // A second copy takes the next free name.
    pMgr->CopyNode(L"Pump base");
    PrintLibrary(pMgr);

    const bool bSaved = pMgr->Save();
    std::printf("Save: %s\n", bSaved ? "written" : "failed");

    std::printf("files in the resource folder:\n");
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(ResourceFolder(dataDir)))
        files.push_back(entry.path().filename().string() + "  " +
                        std::to_string(entry.file_size()) + " bytes");
    std::sort(files.begin(), files.end());
    for (const std::string& f : files)
        std::printf("  %s\n", f.c_str());
    return nCopied == 1 && bSaved ? 0 : 1;
}

}  // namespace

int main()
{
    const fs::path dataDir = fs::temp_directory_path() / "zk_example";
    std::error_code ec;
    fs::remove_all(dataDir, ec);
    if (!WriteSampleResourceLibrary(dataDir)) {
        std::printf("cannot write the sample data under %s\n", dataDir.string().c_str());
        return 1;
    }
    std::printf("sample data directory: %s\n\n", dataDir.string().c_str());

    // Registered before the first accessor call: the managers fetch the data
    // directory once, when they are built.
    SampleHost host(dataDir);
    ZkSetHostApplication(&host);
    int nResult = RunNodeDetailRoad(dataDir);
    std::printf("\n");
    if (RunFittingLibraryDemo() != 0)
        nResult = 1;
    ZkSetHostApplication(nullptr);
    return nResult;
}
