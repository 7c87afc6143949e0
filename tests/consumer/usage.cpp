#include "usage.h"

// snippet: paths
#include "platform/ZkPath.h"

// A folder found on disk as the library's data directory: its path form,
// with a backslash at the end.
CString DataDirectoryOf(const std::filesystem::path& folder)
{
    return ZkFromNativePath(folder.native()) + L"\\";
}

// A file the library names, such as GetFileName(), as a path the program
// opens itself.
std::filesystem::path NativeFileOf(const CString& strLibraryPath)
{
    return std::filesystem::path(ZkToNativePath(strLibraryPath));
}
// snippet end

// snippet: host
// The host application object: the library asks it for the product data
// directory, in the library's path form (backslashes, one at the end).
class ProductHost : public IZkHostApplication {
public:
    explicit ProductHost(const wchar_t* pszDataDir) : m_strDataDir(pszDataDir) {}
    CString GetProductDataDirectory() const override { return m_strDataDir; }

private:
    CString m_strDataDir;
};

// Once at start-up, before the first accessor call: the library managers fix
// their file paths when they are built. The host stays registered while the
// library is in use.
void StartUp(const wchar_t* pszDataDir)
{
    static ProductHost host(pszDataDir);
    ZkSetHostApplication(&host);
}
// snippet end

// snippet: road
// Fills a list with the resource library in natural name order ("Detail2"
// before "Detail10"). False when there is no library file or it cannot be
// read.
bool ListNodeDetails(std::vector<NodeDetailResData>& vecRows)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    if (!pLib->Load())
        return false;
    pLib->SortData();
    return pLib->GetVecNodeDetailResData(vecRows);
}

// Copies the node detail shown at nRow, with its drawing and slide files, under
// the first free name "name(n)", and writes the library back.
bool CopyNodeDetail(int nRow)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    if (pLib->CopyNode(nRow) != 1)
        return false;  // no such row, or a file was not copied: nothing saved
    return pLib->Save();
}
// snippet end

// snippet: fitting
// Adds an elbow with two connectors to the fitting library and saves it. An
// elbow of the same name in the group of its type is replaced.
bool AddElbow()
{
    CFitDataManager* pFit = ZkFitDataManager();
    pFit->Load();  // false when there is no file yet: add to what is in memory

    FittingData elbow;
    elbow.SetGUID(L"3F2504E0-4F89-11D3-9A0C-0305E82C3301");
    elbow.SetBlockName(L"ELBOW90");
    elbow.SetDisplayName(L"Elbow 90");
    elbow.SetDirection(stu3Value(1.0, 0.0, 0.0));
    // Fitting types are the product's numbers; the library only stores them.
    elbow.SetFitType(static_cast<NodeDetailEx::FittingType>(1));

    std::vector<ConnectorData> vecConnector(2);
    vecConnector[0].SetPos(stu3Value(-1.0, 0.0, 0.0));
    vecConnector[0].SetIndex(1);
    vecConnector[1].SetPos(stu3Value(0.0, 1.0, 0.0));
    vecConnector[1].SetAngle(90.0);
    vecConnector[1].SetIndex(2);
    elbow.SetConnector(vecConnector);

    pFit->AddFit(elbow);
    return pFit->Save();  // false when the file could not be written
}

// Reads the library file again and looks the elbow up by display name, in any
// letter case.
bool FindElbow(FittingData& elbow)
{
    CFitDataManager* pFit = ZkFitDataManager();
    return pFit->Load() && pFit->FindFitDataByFitName(L"elbow 90", elbow);
}
// snippet end

// snippet: session
// Connects a listener. The manager owns the observer (made with new) and
// never the callback, which must outlive its registration.
void Listen(ICallback* pCallback)
{
    CFittingObserverManager* pObs = ZkFittingObserverManager();
    if (pObs->GetObserver() == nullptr)
        pObs->SetObserver(new CFittingObserver);
    pObs->GetObserver()->SetCallback(pCallback);
}

// Hands working values to the other modules through the session.
void ShareSelection()
{
    CNodeDetailSession* pSession = ZkNodeDetailSession();
    pSession->Set(L"SelectedDetail", L"Pump base");
    pSession->Set(L"CopyCount", 2);
    pSession->SetModified(true);  // the listener hears code 4 when the flag changes
}

// Another module reads them back, each in the type it was stored with; a
// value of another type, or none, gives the default.
void ReadSelection(CString& strDetail, int& nCount)
{
    CNodeDetailSession* pSession = ZkNodeDetailSession();
    strDetail = pSession->GetStr(L"SelectedDetail", L"");
    nCount = pSession->GetInt(L"CopyCount", 0);
}
// snippet end

// snippet: report
#include "platform/ZkReport.h"

// Loads the resource library. When it cannot, strWhy says why in one line,
// such as "...\NodeDetailDataEx.xml:3:1: malformed XML: the end tag </a>
// does not close <b>". A Load that succeeds may still have warnings: values
// that could not be read as their type kept their defaults.
bool LoadResourceLibrary(CString& strWhy, std::vector<CString>& vecWarning)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    const bool bLoaded = pLib->Load();
    const ZkReport& report = pLib->GetLastReport();  // valid until the next call
    for (const ZkWarning& warning : report.vecWarning)
        vecWarning.push_back(warning.strMessage);
    if (bLoaded)
        return true;
    strWhy = report.strPath;
    if (report.nLine > 0) {
        CString strWhere;
        strWhere.Format(L":%d:%d", report.nLine, report.nColumn);
        strWhy += strWhere;
    }
    strWhy += L": " + report.Describe();
    return false;
}
// snippet end
