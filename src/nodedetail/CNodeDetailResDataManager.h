#pragma once

#include <memory>
#include <vector>

#include "nodedetail/NodeDetailResData.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/ZkReport.h"

template <typename Record>
struct ZkFileBase;

// The process-wide node-detail resource library: the records of
// "NodeDetailDataEx.xml", kept in library order. Records only: deleting or
// renaming never touches a detail's drawing and slide files. The manager owns
// the records; callers get copies. Nothing is saved unless a caller calls Save.
class ZKND_API CNodeDetailResDataManager {
public:
    // The one instance, built on the first call; it then fixes its file path
    // from the host's data directory and reads nothing until Load or Update.
    static CNodeDetailResDataManager* Instance();

    // Memberwise; nothing in the library copies the manager. A copy keeps
    // what the original last loaded or saved, for its own Save.
    CNodeDetailResDataManager(const CNodeDetailResDataManager&) = default;
    CNodeDetailResDataManager& operator=(const CNodeDetailResDataManager&) = default;

    // Replaces the list with the file's records; false when the file is
    // missing (nothing changed) or could not be read (list left empty).
    bool Load();
    // Writes the whole list to the file; false when it was not written. When
    // another process saved the library since this manager last loaded or
    // saved it, its work is kept: the file is read and this list's changes
    // are merged into it (GetLastReport() says what came from the file). A
    // second saver waits up to 2 seconds. The list itself never changes.
    bool Save();
    // Empties the list and loads; always true.
    bool Update();
    // Set by a Load that found the file and by renames, deletions and copies;
    // never cleared, not even by Save.
    bool DataChanged();
    // Full path of "NodeDetailDataEx.xml" in the resource folder under the
    // data directory, with backslashes. The drawing and slide files lie
    // beside it.
    ZkNd::CString GetFileName() const;
    // What the last Load, Update, Save or CopyNode did, and why it failed
    // (platform/ZkReport.h); made when first asked after the operation, and
    // valid until the next one. Copies of the manager share one report.
    const ZkReport& GetLastReport() const;

    // Copies out the records in library order; always true.
    bool GetVecNodeDetailResData(std::vector<NodeDetailResData>& vecData);
    // Replaces the records; always true.
    bool SetVecNodeDetailResData(const std::vector<NodeDetailResData>& vecData);
    // Puts the record first, replacing the first record of the same name
    // (ignoring case).
    void AddNodeDetailResData(const NodeDetailResData& data);
    // Replaces vecData with copies of the records whose display name contains
    // the text (case-sensitive), in library order; always true.
    bool GetVecNodeDetailResDataBySearchInfo(const wchar_t* pszSearch,
                                             std::vector<NodeDetailResData>& vecData);
    // Number of records.
    int GetDataCount();

    // First match ignoring case: its index, and the record copied out; -1
    // with the output untouched when nothing matches.
    int FindDataByDisplayName(const wchar_t* pszName, NodeDetailResData& data);
    int FindDataByGuid(const wchar_t* pszGuid, NodeDetailResData& data);
    bool CheckNameExist(const wchar_t* pszName);
    // On a match also reports its index; untouched otherwise.
    bool CheckNameExist(const wchar_t* pszName, int& nIndex);

    // Editing by index: false, and no change, for an index outside the list.

    // Renames without testing whether the name is taken.
    bool ModifyNodeName(const int& nIndex, const wchar_t* pszName);
    bool ModifyNodeCheckSta(const int& nIndex, const bool& bCheck);
    // Clears every check mark; always true.
    bool RecoverNodeCheckSta();

    bool DelNode(const int& nIndex);
    // Removes the first record of that name, ignoring case; false when none.
    bool DelNode(const wchar_t* pszName);
    // Removes every checked record; always true.
    bool DelNode();

    // Duplicates a detail under the first free name "name(n)" with a new GUID,
    // placed at the source's position, and copies its drawing and slide
    // files. 1 when both files were copied, else 0. With no such source
    // nothing changes; a failed file copy still leaves the new record in the
    // list. Call Save to keep the record.
    int CopyNode(const int& nIndex);
    int CopyNode(const wchar_t* pszName);

    // Natural name order (see NodeDetailResData::operator<); equivalent
    // names may end in any order. Always true.
    bool SortData();

private:
    CNodeDetailResDataManager();
    ~CNodeDetailResDataManager();

    bool IsValidIndex(int nIndex) const;
    int FindByName(const wchar_t* pszName) const;
    int CopyNodeAt(int nIndex, const ZkNd::CString& strFolder);

    std::vector<NodeDetailResData> m_vecNodeDetailResData;
    ZkNd::CString m_strFileName;
    bool m_bDataChanged;
    // What the file held when last loaded or saved (null: never loaded, or
    // the last Load failed), so that Save can tell another process's work.
    std::shared_ptr<ZkFileBase<NodeDetailResData>> m_pFileBase;
};
