// A caller's program built against the installed library: runs the examples
// of docs/usage.md and README.md on a data directory of its own and checks,
// through the public interface and the files on disk, that each did what the
// page says.
// Usage: app [data directory]; exits 1 when any check fails.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "ConsumerCheck.h"
#include "frame/ZkNodeDetail.h"
#include "usage.h"

namespace fs = std::filesystem;
using namespace consumer;  // the checks and file helpers of every consumer program

namespace {

std::vector<CString> Names(const std::vector<NodeDetailResData>& vecRows)
{
    std::vector<CString> vecNames;
    for (const NodeDetailResData& row : vecRows)
        vecNames.push_back(row.GetDisplayName());
    return vecNames;
}

bool SameU3(const stu3Value& a, double x, double y, double z)
{
    return a.x == x && a.y == y && a.z == z;
}

// The two library folders under the data directory in native form, and the two
// library files in the library's form.
const char kResourceFolder[] = u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u6210\u679C\u5E93";
const char kFittingFolder[] = u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u7BA1\u4EF6\u5E93";
const wchar_t kResourceFile[] =
    L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u6210\u679C\u5E93\\NodeDetailDataEx.xml";
const wchar_t kFittingFile[] =
    L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u7BA1\u4EF6\u5E93\\FitDataEx.xml";

void CheckNodeDetailRoad(const fs::path& dataDir)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    std::vector<NodeDetailResData> vecRows;
    CHECK(!ListNodeDetails(vecRows));  // no library file yet
    CHECK(NodeDetailNames().empty());
    CString strWhy;
    std::vector<CString> vecWarning;
    CHECK(!LoadResourceLibrary(strWhy, vecWarning));
    CHECK(strWhy.Find(L"NodeDetailDataEx.xml: the file or its folder does not exist") > 0);
    CHECK(pLib->GetLastReport().eOutcome == ZkOutcome::kMissing);

    // A library of three details, written by the library itself, and the
    // drawing and slide file of each.
    const fs::path folder = dataDir / fs::u8path(kResourceFolder);
    fs::create_directories(folder);
    std::error_code ec;
    const std::vector<NodeDetailResData> vecSeed = {NodeDetailResData(L"Pump base"),
                                                    NodeDetailResData(L"Detail10"),
                                                    NodeDetailResData(L"Detail2")};
    pLib->SetVecNodeDetailResData(vecSeed);
    CHECK(pLib->Save());
    CHECK(fs::equivalent(NativeFileOf(pLib->GetFileName()), folder / "NodeDetailDataEx.xml", ec));
    for (const NodeDetailResData& seed : vecSeed) {
        const std::string guid = Ascii(seed.GetGuid());
        CHECK(guid.size() == 36);
        CHECK(WriteFile(folder / (guid + ".dwg"), "drawing " + guid));
        CHECK(WriteFile(folder / (guid + ".sld"), "slide " + guid));
    }
    pLib->SetVecNodeDetailResData({});  // what follows must come from the file

    CHECK(ListNodeDetails(vecRows));
    CHECK(Names(vecRows) == (std::vector<CString>{L"Detail2", L"Detail10", L"Pump base"}));
    CHECK(vecRows.size() == 3 && vecRows[2].GetGuid() == vecSeed[0].GetGuid());
    CHECK(pLib->DataChanged());

    CHECK(CopyNodeDetail(2));
    CHECK(!CopyNodeDetail(pLib->GetDataCount()));  // no such row
    CHECK(pLib->GetLastReport().eOutcome == ZkOutcome::kNoSuchRecord);
    CHECK(LoadResourceLibrary(strWhy, vecWarning) && vecWarning.empty());
    CHECK(ListNodeDetails(vecRows));  // the saved file, sorted again
    CHECK(Names(vecRows) ==
          (std::vector<CString>{L"Detail2", L"Detail10", L"Pump base", L"Pump base(1)"}));
    CHECK(NodeDetailNames() == Names(vecRows));
    if (vecRows.size() == 4) {
        const NodeDetailResData& copy = vecRows[3];
        CHECK(copy.GetGuid().GetLength() == 36);
        CHECK(copy.GetGuid() != vecSeed[0].GetGuid());
        CHECK(copy.GetDescription() == L"Pump base");
        const std::string src = Ascii(vecSeed[0].GetGuid());
        const std::string dst = Ascii(copy.GetGuid());
        CHECK(ReadFile(folder / (dst + ".dwg")) == "drawing " + src);
        CHECK(ReadFile(folder / (dst + ".sld")) == "slide " + src);
    }

    NodeDetailResData found;
    CHECK(pLib->FindDataByDisplayName(L"PUMP BASE(1)", found) == 3);
    CHECK(pLib->FindDataByDisplayName(L"Pump base(2)", found) == -1);
}

void CheckFittingLibrary(const fs::path& dataDir)
{
    CFitDataManager* pFit = ZkFitDataManager();
    CHECK(!AddElbow());  // the fitting folder does not exist yet
    fs::create_directories(dataDir / fs::u8path(kFittingFolder));
    CHECK(AddElbow());
    CHECK(AddElbow());  // the same elbow again replaces the first

    FittingData elbow;
    CHECK(FindElbow(elbow));
    CHECK(pFit->GetDataCount() == 1);
    CHECK(elbow.GUID() == L"3F2504E0-4F89-11D3-9A0C-0305E82C3301");
    CHECK(elbow.GetBlockName() == L"ELBOW90");
    CHECK(elbow.GetDisplayName() == L"Elbow 90");
    CHECK(SameU3(elbow.GetDirection(), 1.0, 0.0, 0.0));
    CHECK(elbow.GetScale() == 1.0);
    CHECK(elbow.GetFitType() == static_cast<NodeDetailEx::FittingType>(1));
    CHECK(elbow.GetConNum() == 2);
    const ConnectorData* pSecond = elbow.GetConnectorAt(2);
    CHECK(pSecond != nullptr && pSecond->GetAngle() == 90.0 &&
          SameU3(pSecond->GetPos(), 0.0, 1.0, 0.0));
    CHECK(elbow.GetConnectorAt(3) == nullptr);

    std::vector<FittingData> vecFit;
    CHECK(pFit->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(1), vecFit) == 1);
    CHECK(pFit->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(2), vecFit) == 0);
    CHECK(pFit->GetFitName(L"3f2504e0-4f89-11d3-9a0c-0305e82c3301") == L"Elbow 90");
    CHECK(!pFit->FindFitDataByFitName(L"Elbow 45", elbow));
}

void CheckSessionAndObserver()
{
    SessionListener listener;
    Listen(&listener);
    CNodeDetailSession* pSession = ZkNodeDetailSession();
    CHECK(!pSession->IsModified());

    ShareSelection();
    CHECK(listener.m_nModifiedChanges == 1);
    CHECK(listener.m_nLastCode == 4 && listener.m_strLastText.IsEmpty());
    ShareSelection();  // the flag is already set: no second notice
    CHECK(listener.m_nModifiedChanges == 1);

    CString strDetail;
    int nCount = 0;
    ReadSelection(strDetail, nCount);
    CHECK(strDetail == L"Pump base" && nCount == 2);
    CHECK(pSession->GetDouble(L"CopyCount", -1.5) == -1.5);  // stored as an integer
    CHECK(pSession->GetInt(L"copycount", 7) == 7);           // names keep their case

    pSession->SetModified(false);
    CHECK(listener.m_nModifiedChanges == 2 && !pSession->IsModified());

    // A host module's own notification passes through unchanged.
    CFittingObserverManager* pObs = ZkFittingObserverManager();
    pObs->GetObserver()->Dispatch(100, L"refresh");
    CHECK(listener.m_nLastCode == 100 && listener.m_strLastText == L"refresh");

    // Fitting counts posted by one module, read and ordered by another:
    // columns left to right, each from the top down.
    std::vector<PIPE_FIT_COUNT_INFO> vecPosted(3);
    vecPosted[0].ptPos = stu3Value(10.0, 0.0, 0.0);
    vecPosted[1].ptPos = stu3Value(0.0, 5.0, 0.0);
    vecPosted[2].ptPos = stu3Value(0.0, 10.0, 0.0);
    for (size_t i = 0; i < vecPosted.size(); ++i)
        vecPosted[i].nValue1 = static_cast<int>(i);
    pObs->SetVecPipeFitCountInfo(vecPosted);
    std::vector<PIPE_FIT_COUNT_INFO> vecRead;
    pObs->GetVecPipeFitCountInfo(vecRead);
    CHECK(NodeDetailEx::SortPipeFitCountInfo(vecRead));
    CHECK(vecRead.size() == 3 && vecRead[0].nValue1 == 2 && vecRead[1].nValue1 == 1 &&
          vecRead[2].nValue1 == 0);

    pObs->GetObserver()->SetCallback(nullptr);  // the listener goes out of scope
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path dataDir;
    if (!FreshDirectory(argc, argv, fs::temp_directory_path() / "zk_consumer_data", dataDir))
        return 1;

    const CString strDataDir = DataDirectoryOf(dataDir);
    StartUp(strDataDir);
    CHECK(ZkNodeDetailResDataManager()->GetFileName() == strDataDir + kResourceFile);
    CHECK(ZkFitDataManager()->GetFileName() == strDataDir + kFittingFile);
    CHECK(ZkNodeDetailResDataManager() == CNodeDetailResDataManager::Instance());

    CheckNodeDetailRoad(dataDir);
    CheckFittingLibrary(dataDir);
    CheckSessionAndObserver();

    if (g_nFailures != 0) {
        std::fprintf(stderr, "%d check(s) failed\n", g_nFailures);
        return 1;
    }
    std::printf("all checks passed\n");
    return 0;
}
