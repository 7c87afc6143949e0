#pragma once

// The process-wide fitting library: the fitting groups of "FitDataEx.xml",
// edited in memory between a Load and a Save.

#include <vector>

#include "fitting/FittingData.h"
#include "frame/ZkEnums.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"

class ZKND_API CFitDataManager {
public:
    static CFitDataManager* Instance();

    CFitDataManager(const CFitDataManager&) = default;
    CFitDataManager& operator=(const CFitDataManager&) = default;

    // Store.

    // Replaces the list with the file's content; false when the file is
    // missing (nothing changes) or cannot be read (the list is left empty).
    bool Load();
    // Writes the whole list over the file; false when it was not written.
    bool Save();
    // Empties the list and loads; always true.
    bool Update();
    // Set once the library was loaded or edited; never cleared.
    bool DataChanged();
    // Number of fitting groups.
    int GetDataCount();
    CString GetFileName() const;

    // Lookup. Names are display names, matched whole and ignoring case; the
    // first match in group order, then row order, wins.

    // Copies the fittings of the first group of that type; returns how many.
    int FindFitDataArrByFitType(const NodeDetailEx::FittingType& fitType,
                                std::vector<FittingData>& vecFitData);
    bool FindFitDataByFitName(const wchar_t* pszFitName, FittingData& fitData);
    bool CheckNameExist(const wchar_t* pszFitName);
    // On a match also reports the group and row index; untouched otherwise.
    bool CheckNameExist(const wchar_t* pszFitName, int& nGroup, int& nRow);
    // Display name of the fitting with that GUID text, or empty.
    CString GetFitName(const wchar_t* pszGUID);

    // Editing. Indices are (group, row); an invalid one gives false and no
    // change.

    // Renames and moves the fitting to the front of its group.
    bool ModifyFitName(const int& nGroup, const int& nRow, const wchar_t* pszFitName);
    bool ModifyFitCheckSta(const int& nGroup, const int& nRow, const bool& bCheck);
    // Clears every mark; always true.
    bool RecoverFitCheckSta();
    bool DelFit(const int& nGroup, const int& nRow);
    // Removes every marked fitting; empty groups stay. Always true.
    bool DelFit();
    // Puts the fitting first in every group of its type, replacing one of the
    // same name there, or appends a new group for it. Always true.
    bool AddFit(const FittingData& fitData);
    // Whether a deletion leaves the type at least one fitting: of one fitting
    // (bSingle) or of all marked ones.
    bool CheckDelCondition(const NodeDetailEx::FittingType& fitType, bool bSingle);

    bool SetLayOutFitName(const wchar_t* pszFitName);
    CString GetLayOutFitName();

private:
    CFitDataManager();
    ~CFitDataManager();

    bool IsValidIndex(int nGroup, int nRow);
    int FindFirstGroup(NodeDetailEx::FittingType fitType);

    std::vector<FittingInfo> m_vecFitInfo;
    CString m_strFileName;
    bool m_bDataChanged;
    CString m_strLayOutFitName;
};
