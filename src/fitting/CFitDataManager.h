#pragma once

// The process-wide fitting library: the fitting groups of "FitDataEx.xml",
// edited in memory between a Load and a Save. The manager owns the groups;
// callers get copies. Nothing is saved unless a caller calls Save.

#include <memory>
#include <vector>

#include "fitting/FittingData.h"
#include "fitting/ZkEnums.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/ZkReport.h"

template <typename Record>
struct ZkFileBase;

class ZKND_API CFitDataManager {
public:
    // The one instance, built on the first call; it then fixes its file path
    // from the host's data directory and reads nothing until Load or Update.
    static CFitDataManager* Instance();

    // Memberwise; nothing in the library copies the manager. A copy keeps
    // what the original last loaded or saved, for its own Save.
    CFitDataManager(const CFitDataManager&) = default;
    CFitDataManager& operator=(const CFitDataManager&) = default;

    // Store.

    // Replaces the list with the file's content; false when the file is
    // missing (nothing changes) or cannot be read (the list is left empty).
    bool Load();
    // Writes the whole list to the file; false when it was not written. When
    // another process saved the library since this manager last loaded or
    // saved it, its work is kept: the file is read and this list's changes
    // are merged into it (GetLastReport() says what came from the file). A
    // second saver waits up to 2 seconds. The list itself never changes.
    bool Save();
    // Empties the list and loads; always true.
    bool Update();
    // Set by a Load that found the file and by renames and deletions; never
    // cleared, not even by Save.
    bool DataChanged();
    // Number of fitting groups.
    int GetDataCount();
    // Full path of "FitDataEx.xml" in the fitting folder under the data
    // directory, with backslashes.
    ZkNd::CString GetFileName() const;
    // What the last Load, Update or Save did, and why it failed
    // (platform/ZkReport.h); made when first asked after the operation, and
    // valid until the next one. Copies of the manager share one report.
    const ZkReport& GetLastReport() const;
    // Copies out the fitting groups in library order; always true.
    bool GetVecFitInfo(std::vector<FittingInfo>& vecFitInfo) const;

    // Lookup. Names are display names, matched whole and ignoring case; the
    // first match in group order, then row order, wins.

    // Copies the fittings of the first group of that type; returns how many.
    int FindFitDataArrByFitType(const NodeDetailEx::FittingType& fitType,
                                std::vector<FittingData>& vecFitData);
    // Copies the first fitting of that name; false, fitData untouched, when
    // there is none.
    bool FindFitDataByFitName(const wchar_t* pszFitName, FittingData& fitData);
    bool CheckNameExist(const wchar_t* pszFitName);
    // On a match also reports the group and row index; untouched otherwise.
    bool CheckNameExist(const wchar_t* pszFitName, int& nGroup, int& nRow);
    // Display name of the first fitting whose GUID text matches ignoring case,
    // or empty.
    ZkNd::CString GetFitName(const wchar_t* pszGUID);

    // Editing. Indices are (group, row); an invalid one gives false and no
    // change.

    // Renames and moves the fitting to the front of its group.
    bool ModifyFitName(const int& nGroup, const int& nRow, const wchar_t* pszFitName);
    // Marks or unmarks the fitting for DelFit(); marks are never saved.
    bool ModifyFitCheckSta(const int& nGroup, const int& nRow, const bool& bCheck);
    // Clears every mark; always true.
    bool RecoverFitCheckSta();
    // Removes one fitting; its group stays, even when left empty.
    bool DelFit(const int& nGroup, const int& nRow);
    // Removes every marked fitting; empty groups stay. Always true.
    bool DelFit();
    // Puts the fitting first in every group of its type, replacing one of the
    // same name there, or appends a new group for it. Always true.
    bool AddFit(const FittingData& fitData);
    // Whether a deletion leaves the type's first group at least one fitting:
    // of one fitting (bSingle) or of all marked ones. False when no group has
    // that type. DelFit does not ask; callers do.
    bool CheckDelCondition(const NodeDetailEx::FittingType& fitType, bool bSingle);

    // A fitting name parked for the layout step; kept in memory only, never
    // checked against the library. Set always returns true.
    bool SetLayOutFitName(const wchar_t* pszFitName);
    ZkNd::CString GetLayOutFitName();

private:
    CFitDataManager();
    ~CFitDataManager();

    bool IsValidIndex(int nGroup, int nRow);
    int FindFirstGroup(NodeDetailEx::FittingType fitType);

    std::vector<FittingInfo> m_vecFitInfo;
    ZkNd::CString m_strFileName;
    bool m_bDataChanged;
    ZkNd::CString m_strLayOutFitName;
    // What the file held when last loaded or saved (null: never loaded, or
    // the last Load failed), so that Save can tell another process's work.
    std::shared_ptr<ZkFileBase<FittingInfo>> m_pFileBase;
};
