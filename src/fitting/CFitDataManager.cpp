#include "fitting/CFitDataManager.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>

#include "fitting/internal/FittingMerge.h"
#include "platform/internal/files/DataDirectory.h"
#include "platform/internal/records/RecordListFile.h"
#include "platform/internal/report/Diagnostics.h"

namespace {

// "Data\NodeDetail\节点图\管件库\", spelled with escapes so that the source
// encoding does not matter.
const wchar_t kFitDataFolder[] = L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u7BA1\u4EF6\u5E93\\";
const wchar_t kFitDataFile[] = L"FitDataEx.xml";
const wchar_t kRootSection[] = L"FitData";
const wchar_t kGroupSection[] = L"FitInfo";

// Kept here, not in the manager: its members are fixed. Copies share it.
ZkDiag::LastOperation g_last;

}  // namespace

CFitDataManager::CFitDataManager()
    : m_vecFitInfo(), m_strFileName(), m_bDataChanged(false), m_strLayOutFitName(), m_pFileBase()
{
    m_strFileName = GetDataDirectory() + kFitDataFolder + kFitDataFile;
}

CFitDataManager::~CFitDataManager() = default;

bool CFitDataManager::Load()
{
    return LoadRecordList(m_strFileName, kRootSection, kGroupSection, m_vecFitInfo, m_bDataChanged,
                          g_last.Start(), m_pFileBase);
}

bool CFitDataManager::Save()
{
    return SaveRecordList<ZkFittingGroupMerge>(m_strFileName, kRootSection, kGroupSection,
                                               m_vecFitInfo, m_pFileBase, g_last.Start());
}

const ZkReport& CFitDataManager::GetLastReport() const
{
    return g_last.Report(m_strFileName);
}

bool CFitDataManager::GetVecFitInfo(std::vector<FittingInfo>& vecFitInfo) const
{
    vecFitInfo = m_vecFitInfo;
    return true;
}

bool CFitDataManager::Update()
{
    // Load reads over the list it replaces; only a missing file leaves the
    // list to be emptied here, and with it what the list was read from.
    if (!Load()) {
        m_vecFitInfo.clear();
        ForgetFileBase(m_pFileBase);
    }
    return true;
}

bool CFitDataManager::DataChanged()
{
    return m_bDataChanged;
}

int CFitDataManager::GetDataCount()
{
    return static_cast<int>(m_vecFitInfo.size());
}

CString CFitDataManager::GetFileName() const
{
    return m_strFileName;
}

int CFitDataManager::FindFitDataArrByFitType(const NodeDetailEx::FittingType& fitType,
                                             std::vector<FittingData>& vecFitData)
{
    vecFitData.clear();
    const int nGroup = FindFirstGroup(fitType);
    if (nGroup >= 0)
        vecFitData = m_vecFitInfo[nGroup].GetVecFitData();
    return static_cast<int>(vecFitData.size());
}

bool CFitDataManager::FindFitDataByFitName(const wchar_t* pszFitName, FittingData& fitData)
{
    int nGroup = -1;
    int nRow = -1;
    if (!CheckNameExist(pszFitName, nGroup, nRow))
        return false;
    fitData = m_vecFitInfo[nGroup].GetVecFitData()[nRow];
    return true;
}

bool CFitDataManager::CheckNameExist(const wchar_t* pszFitName)
{
    int nGroup = -1;
    int nRow = -1;
    return CheckNameExist(pszFitName, nGroup, nRow);
}

bool CFitDataManager::CheckNameExist(const wchar_t* pszFitName, int& nGroup, int& nRow)
{
    const CString strName(pszFitName);
    for (size_t i = 0; i < m_vecFitInfo.size(); ++i) {
        const std::vector<FittingData>& vecFitData = m_vecFitInfo[i].GetVecFitData();
        for (size_t j = 0; j < vecFitData.size(); ++j) {
            if (vecFitData[j].m_strDisplayName.CompareNoCase(strName) == 0) {
                nGroup = static_cast<int>(i);
                nRow = static_cast<int>(j);
                return true;
            }
        }
    }
    return false;
}

CString CFitDataManager::GetFitName(const wchar_t* pszGUID)
{
    const CString strGuid(pszGUID);
    for (FittingInfo& fitInfo : m_vecFitInfo) {
        for (const FittingData& fitData : fitInfo.GetVecFitData()) {
            if (fitData.m_strGUID.CompareNoCase(strGuid) == 0)
                return fitData.m_strDisplayName;
        }
    }
    return CString();
}

bool CFitDataManager::ModifyFitName(const int& nGroup, const int& nRow, const wchar_t* pszFitName)
{
    if (!IsValidIndex(nGroup, nRow))
        return false;
    // Edits go to a copy that replaces the group's list only when complete.
    std::vector<FittingData> vecFitData = m_vecFitInfo[nGroup].GetVecFitData();
    vecFitData[nRow].SetDisplayName(pszFitName);
    // A renamed fitting comes first, the ones before it move back by one.
    std::rotate(vecFitData.begin(), vecFitData.begin() + nRow, vecFitData.begin() + nRow + 1);
    m_vecFitInfo[nGroup].GetVecFitData().swap(vecFitData);
    m_bDataChanged = true;
    return true;
}

bool CFitDataManager::ModifyFitCheckSta(const int& nGroup, const int& nRow, const bool& bCheck)
{
    if (!IsValidIndex(nGroup, nRow))
        return false;
    std::vector<FittingData> vecFitData = m_vecFitInfo[nGroup].GetVecFitData();
    vecFitData[nRow].SetCheck(bCheck);
    m_vecFitInfo[nGroup].GetVecFitData().swap(vecFitData);
    return true;
}

bool CFitDataManager::RecoverFitCheckSta()
{
    for (FittingInfo& fitInfo : m_vecFitInfo) {
        for (FittingData& fitData : fitInfo.GetVecFitData())
            fitData.SetCheck(false);
    }
    return true;
}

bool CFitDataManager::DelFit(const int& nGroup, const int& nRow)
{
    if (!IsValidIndex(nGroup, nRow))
        return false;
    std::vector<FittingData> vecFitData = m_vecFitInfo[nGroup].GetVecFitData();
    vecFitData.erase(vecFitData.begin() + nRow);
    m_vecFitInfo[nGroup].GetVecFitData().swap(vecFitData);
    m_bDataChanged = true;
    return true;
}

bool CFitDataManager::DelFit()
{
    for (FittingInfo& fitInfo : m_vecFitInfo) {
        std::vector<FittingData> vecFitData = fitInfo.GetVecFitData();
        for (size_t i = vecFitData.size(); i-- > 0;) {
            if (vecFitData[i].GetCheck()) {
                vecFitData.erase(vecFitData.begin() + static_cast<std::ptrdiff_t>(i));
                m_bDataChanged = true;
            }
        }
        fitInfo.GetVecFitData().swap(vecFitData);
    }
    return true;
}

bool CFitDataManager::AddFit(const FittingData& fitData)
{
    const NodeDetailEx::FittingType fitType = fitData.GetFitType();
    if (FindFirstGroup(fitType) < 0) {
        FittingInfo fitInfo;
        fitInfo.SetFitType(fitType);
        fitInfo.GetVecFitData().push_back(fitData);
        m_vecFitInfo.push_back(std::move(fitInfo));
        return true;
    }

    // Copy first: fitData may be an element of a list replaced below.
    const FittingData newFit(fitData);
    const CString& strName = newFit.m_strDisplayName;
    for (FittingInfo& fitInfo : m_vecFitInfo) {
        if (fitInfo.GetFitType() != fitType)
            continue;
        std::vector<FittingData> vecFitData = fitInfo.GetVecFitData();
        const auto it =
            std::find_if(vecFitData.begin(), vecFitData.end(), [&strName](const FittingData& item) {
                return item.m_strDisplayName.CompareNoCase(strName) == 0;
            });
        if (it != vecFitData.end())
            vecFitData.erase(it);
        vecFitData.insert(vecFitData.begin(), newFit);
        fitInfo.GetVecFitData().swap(vecFitData);
    }
    return true;
}

bool CFitDataManager::CheckDelCondition(const NodeDetailEx::FittingType& fitType, bool bSingle)
{
    const int nGroup = FindFirstGroup(fitType);
    if (nGroup < 0)
        return false;
    const std::vector<FittingData>& vecFitData = m_vecFitInfo[nGroup].GetVecFitData();
    // A fitting type must keep at least one fitting.
    if (bSingle)
        return vecFitData.size() > 1;
    const auto nChecked = std::count_if(vecFitData.begin(), vecFitData.end(),
                                        [](const FittingData& item) { return item.GetCheck(); });
    return static_cast<size_t>(nChecked) < vecFitData.size();
}

bool CFitDataManager::SetLayOutFitName(const wchar_t* pszFitName)
{
    m_strLayOutFitName = pszFitName;
    return true;
}

CString CFitDataManager::GetLayOutFitName()
{
    return m_strLayOutFitName;
}

bool CFitDataManager::IsValidIndex(int nGroup, int nRow)
{
    if (nGroup < 0 || nGroup >= static_cast<int>(m_vecFitInfo.size()))
        return false;
    return nRow >= 0 && nRow < static_cast<int>(m_vecFitInfo[nGroup].GetVecFitData().size());
}

int CFitDataManager::FindFirstGroup(NodeDetailEx::FittingType fitType)
{
    for (size_t i = 0; i < m_vecFitInfo.size(); ++i) {
        if (m_vecFitInfo[i].GetFitType() == fitType)
            return static_cast<int>(i);
    }
    return -1;
}
