#include "nodedetail/CNodeDetailResDataManager.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "nodedetail/internal/CopyName.h"
#include "nodedetail/internal/NodeDetailMerge.h"
#include "platform/internal/files/DataDirectory.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/files/Os.h"
#include "platform/internal/records/RecordListFile.h"
#include "platform/internal/report/Diagnostics.h"

namespace {

// "Data\NodeDetail\节点图\成果库\", spelled with escapes so that the source
// reads the same under every compiler's source encoding.
const wchar_t kResourceFolder[] = L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u6210\u679C\u5E93\\";
const wchar_t kLibraryFile[] = L"NodeDetailDataEx.xml";
const wchar_t kRootSection[] = L"NodeDetailResData";
const wchar_t kRowSection[] = L"NodeDetailResDataRow";

CString ResourceFolder()
{
    return GetDataDirectory() + kResourceFolder;
}

// Copies the resource file of one GUID text to that of another, overwriting;
// a failure is recorded.
bool CopyResourceFile(const CString& strFolder, const CString& strFrom, const CString& strTo,
                      const wchar_t* pszExtension, ZkDiag::Capture& capture)
{
    const CString strSource = strFolder + strFrom + pszExtension;
    ZkFileSystem::FileError error;
    if (ZkFileSystem::CopyRegularFile(strSource, strFolder + strTo + pszExtension, false, &error))
        return true;
    capture.CopyFailed(strSource, error);
    return false;
}

// Kept here, not in the manager: its members are fixed. Copies share it.
ZkDiag::LastOperation g_last;

}  // namespace

CNodeDetailResDataManager::CNodeDetailResDataManager() : m_bDataChanged(false)
{
    m_strFileName = ResourceFolder() + kLibraryFile;
}

CNodeDetailResDataManager::~CNodeDetailResDataManager() = default;

bool CNodeDetailResDataManager::Load()
{
    // Records read over keep their texts' storage: reloading a library
    // allocates only for texts longer than the ones they replace.
    return LoadRecordList(m_strFileName, kRootSection, kRowSection, m_vecNodeDetailResData,
                          m_bDataChanged, g_last.Start(), m_pFileBase, [](NodeDetailResData& data) {
                              data.m_strGuid.Empty();
                              data.m_strDisplayName.Empty();
                              data.m_strDescription.Empty();
                              data.m_bCheck = false;
                          });
}

bool CNodeDetailResDataManager::Save()
{
    return SaveRecordList<ZkNodeDetailMerge>(m_strFileName, kRootSection, kRowSection,
                                             m_vecNodeDetailResData, m_pFileBase, g_last.Start());
}

const ZkReport& CNodeDetailResDataManager::GetLastReport() const
{
    return g_last.Report(m_strFileName);
}

bool CNodeDetailResDataManager::Update()
{
    // Load reads over the list it replaces; only a missing file leaves the
    // list to be emptied here, and with it what the list was read from.
    if (!Load()) {
        m_vecNodeDetailResData.clear();
        ForgetFileBase(m_pFileBase);
    }
    return true;
}

bool CNodeDetailResDataManager::DataChanged()
{
    return m_bDataChanged;
}

CString CNodeDetailResDataManager::GetFileName() const
{
    return m_strFileName;
}

bool CNodeDetailResDataManager::GetVecNodeDetailResData(std::vector<NodeDetailResData>& vecData)
{
    vecData = m_vecNodeDetailResData;
    return true;
}

bool CNodeDetailResDataManager::SetVecNodeDetailResData(
    const std::vector<NodeDetailResData>& vecData)
{
    m_vecNodeDetailResData = vecData;
    return true;
}

void CNodeDetailResDataManager::AddNodeDetailResData(const NodeDetailResData& data)
{
    // Copy first: data may be an element of the list itself.
    NodeDetailResData newData(data);
    const int nIndex = FindByName(newData.m_strDisplayName);
    if (nIndex >= 0)
        m_vecNodeDetailResData.erase(m_vecNodeDetailResData.begin() + nIndex);
    m_vecNodeDetailResData.insert(m_vecNodeDetailResData.begin(), std::move(newData));
}

bool CNodeDetailResDataManager::GetVecNodeDetailResDataBySearchInfo(
    const wchar_t* pszSearch, std::vector<NodeDetailResData>& vecData)
{
    vecData.clear();
    for (const NodeDetailResData& data : m_vecNodeDetailResData) {
        if (data.GetDisplayName().Find(pszSearch, 0) != -1)
            vecData.push_back(data);
    }
    return true;
}

int CNodeDetailResDataManager::GetDataCount()
{
    return static_cast<int>(m_vecNodeDetailResData.size());
}

int CNodeDetailResDataManager::FindDataByDisplayName(const wchar_t* pszName,
                                                     NodeDetailResData& data)
{
    const int nIndex = FindByName(pszName);
    if (nIndex >= 0)
        data = m_vecNodeDetailResData[static_cast<size_t>(nIndex)];
    return nIndex;
}

int CNodeDetailResDataManager::FindDataByGuid(const wchar_t* pszGuid, NodeDetailResData& data)
{
    const CString strGuid(pszGuid);
    for (size_t i = 0; i < m_vecNodeDetailResData.size(); ++i) {
        if (m_vecNodeDetailResData[i].m_strGuid.CompareNoCase(strGuid) == 0) {
            data = m_vecNodeDetailResData[i];
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CNodeDetailResDataManager::CheckNameExist(const wchar_t* pszName)
{
    return FindByName(pszName) >= 0;
}

bool CNodeDetailResDataManager::CheckNameExist(const wchar_t* pszName, int& nIndex)
{
    const int nFound = FindByName(pszName);
    if (nFound < 0)
        return false;
    nIndex = nFound;
    return true;
}

bool CNodeDetailResDataManager::ModifyNodeName(const int& nIndex, const wchar_t* pszName)
{
    if (!IsValidIndex(nIndex))
        return false;
    m_vecNodeDetailResData[static_cast<size_t>(nIndex)].SetDisplayName(pszName);
    m_bDataChanged = true;
    return true;
}

bool CNodeDetailResDataManager::ModifyNodeCheckSta(const int& nIndex, const bool& bCheck)
{
    if (!IsValidIndex(nIndex))
        return false;
    m_vecNodeDetailResData[static_cast<size_t>(nIndex)].SetCheck(bCheck);
    return true;
}

bool CNodeDetailResDataManager::RecoverNodeCheckSta()
{
    for (NodeDetailResData& data : m_vecNodeDetailResData)
        data.SetCheck(false);
    return true;
}

bool CNodeDetailResDataManager::DelNode(const int& nIndex)
{
    if (!IsValidIndex(nIndex))
        return false;
    m_vecNodeDetailResData.erase(m_vecNodeDetailResData.begin() + nIndex);
    m_bDataChanged = true;
    return true;
}

bool CNodeDetailResDataManager::DelNode(const wchar_t* pszName)
{
    const int nIndex = FindByName(pszName);
    if (nIndex < 0)
        return false;
    m_vecNodeDetailResData.erase(m_vecNodeDetailResData.begin() + nIndex);
    m_bDataChanged = true;
    return true;
}

bool CNodeDetailResDataManager::DelNode()
{
    for (int i = GetDataCount() - 1; i >= 0; --i) {
        if (m_vecNodeDetailResData[static_cast<size_t>(i)].GetCheck()) {
            m_vecNodeDetailResData.erase(m_vecNodeDetailResData.begin() + i);
            m_bDataChanged = true;
        }
    }
    return true;
}

int CNodeDetailResDataManager::CopyNode(const int& nIndex)
{
    ZkDiag::Capture& capture = g_last.Start(true);
    const CString strFolder = ResourceFolder();
    if (!IsValidIndex(nIndex)) {
        capture.Fail(ZkOutcome::kNoSuchRecord, "no node detail at index " + std::to_string(nIndex) +
                                                   " of " + std::to_string(GetDataCount()));
        return 0;
    }
    return CopyNodeAt(nIndex, strFolder);
}

int CNodeDetailResDataManager::CopyNode(const wchar_t* pszName)
{
    ZkDiag::Capture& capture = g_last.Start(true);
    const CString strFolder = ResourceFolder();
    const int nIndex = FindByName(pszName);
    if (nIndex < 0) {
        capture.Fail(ZkOutcome::kNoSuchRecord,
                     L"no node detail is named \"" + std::wstring(CString(pszName)) + L"\"");
        return 0;
    }
    return CopyNodeAt(nIndex, strFolder);
}

bool CNodeDetailResDataManager::SortData()
{
    std::sort(m_vecNodeDetailResData.begin(), m_vecNodeDetailResData.end());
    return true;
}

bool CNodeDetailResDataManager::IsValidIndex(int nIndex) const
{
    return nIndex >= 0 && nIndex < static_cast<int>(m_vecNodeDetailResData.size());
}

int CNodeDetailResDataManager::FindByName(const wchar_t* pszName) const
{
    const CString strName(pszName);
    for (size_t i = 0; i < m_vecNodeDetailResData.size(); ++i) {
        if (m_vecNodeDetailResData[i].m_strDisplayName.CompareNoCase(strName) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int CNodeDetailResDataManager::CopyNodeAt(int nIndex, const CString& strFolder)
{
    ZkDiag::Capture& capture = g_last.Recording();
    NodeDetailResData copy = m_vecNodeDetailResData[static_cast<size_t>(nIndex)];
    const CString strBaseName = copy.GetDisplayName();
    const CString strSrcGuid = copy.GetGuid();

    // First "name(n)" that no record uses, whatever its letter case.
    const int nCounter = FirstFreeCopyNumber(
        strBaseName, m_vecNodeDetailResData.size(),
        [this](size_t i) -> const CString& { return m_vecNodeDetailResData[i].m_strDisplayName; });
    CString strName;
    strName.Format(L"%s(%d)", strBaseName.GetString(), nCounter);

    _GUID guid = {};
    CoCreateGuid(&guid);
    copy.SetGuid(guid);
    copy.SetDisplayName(strName);
    m_vecNodeDetailResData.insert(m_vecNodeDetailResData.begin() + nIndex, copy);

    m_bDataChanged = true;
    // A text that would name a file outside the folder, or none, fails both
    // copies. Otherwise both are attempted; a failed one is reported, not
    // undone.
    const wchar_t* pszWhy = L"";
    if (!ZkIsPlainFileName(strSrcGuid, &pszWhy)) {
        capture.GuidRefused(strSrcGuid, pszWhy);
        return 0;
    }
    const bool bDwg = CopyResourceFile(strFolder, strSrcGuid, copy.GetGuid(), L".dwg", capture);
    const bool bSld = CopyResourceFile(strFolder, strSrcGuid, copy.GetGuid(), L".sld", capture);
    if (!bDwg || !bSld)
        return 0;
    capture.outcome = ZkOutcome::kDone;
    return 1;
}
