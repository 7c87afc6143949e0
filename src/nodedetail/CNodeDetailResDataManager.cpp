#include "nodedetail/CNodeDetailResDataManager.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "nodedetail/internal/CopyName.h"
#include "platform/internal/DataDirectory.h"
#include "platform/internal/FileSystem.h"
#include "platform/internal/Os.h"
#include "platform/internal/RecordListFile.h"
#include "platform/internal/ReportSink.h"

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

// Kept here, not in the manager: its members are fixed. Copies share it.
ZkReport g_lastReport;

}  // namespace

CNodeDetailResDataManager::CNodeDetailResDataManager() : m_bDataChanged(false)
{
    m_strFileName = ResourceFolder() + kLibraryFile;
}

CNodeDetailResDataManager::~CNodeDetailResDataManager() = default;

bool CNodeDetailResDataManager::Load()
{
    ZkReportSink::Scope scope(g_lastReport, m_strFileName);
    return scope.Finish(LoadRecordList(m_strFileName, kRootSection, kRowSection,
                                       m_vecNodeDetailResData, m_bDataChanged));
}

bool CNodeDetailResDataManager::Save()
{
    ZkReportSink::Scope scope(g_lastReport, m_strFileName);
    return scope.Finish(
        SaveRecordList(m_strFileName, kRootSection, kRowSection, m_vecNodeDetailResData));
}

const ZkReport& CNodeDetailResDataManager::GetLastReport() const
{
    return g_lastReport;
}

bool CNodeDetailResDataManager::Update()
{
    m_vecNodeDetailResData.clear();
    Load();
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
    ZkReportSink::Scope scope(g_lastReport, CString());
    const CString strFolder = ResourceFolder();
    if (!IsValidIndex(nIndex)) {
        CString strReason;
        strReason.Format(L"no record at index %d of %d", nIndex, GetDataCount());
        ZkReportSink::Fail(ZkOutcome::kNoSuchRecord, strReason);
        return 0;
    }
    return scope.Finish(CopyNodeAt(nIndex, strFolder) == 1) ? 1 : 0;
}

int CNodeDetailResDataManager::CopyNode(const wchar_t* pszName)
{
    ZkReportSink::Scope scope(g_lastReport, CString());
    const CString strFolder = ResourceFolder();
    const int nIndex = FindByName(pszName);
    if (nIndex < 0) {
        CString strReason;
        strReason.Format(L"no record is named \"%s\"", CString(pszName).GetString());
        ZkReportSink::Fail(ZkOutcome::kNoSuchRecord, strReason);
        return 0;
    }
    return scope.Finish(CopyNodeAt(nIndex, strFolder) == 1) ? 1 : 0;
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
    NodeDetailResData copy = m_vecNodeDetailResData[static_cast<size_t>(nIndex)];
    const CString strBaseName = copy.GetDisplayName();
    const CString strSrcDwg = strFolder + copy.GetGuid() + L".dwg";
    const CString strSrcSld = strFolder + copy.GetGuid() + L".sld";

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

    const CString strDstDwg = strFolder + copy.GetGuid() + L".dwg";
    const CString strDstSld = strFolder + copy.GetGuid() + L".sld";
    // Both copies are attempted; a failed one is reported, not undone.
    const bool bDwg = CopyFileW(strSrcDwg, strDstDwg, 0) != 0;
    if (!bDwg)
        ZkReportSink::CopyFailed(strSrcDwg, strDstDwg, ZkFileSystem::LastSystemError());
    const bool bSld = CopyFileW(strSrcSld, strDstSld, 0) != 0;
    if (!bSld)
        ZkReportSink::CopyFailed(strSrcSld, strDstSld, ZkFileSystem::LastSystemError());
    m_bDataChanged = true;
    return (bDwg && bSld) ? 1 : 0;
}
