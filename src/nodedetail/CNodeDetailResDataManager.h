#pragma once

#include <vector>

#include "nodedetail/NodeDetailResData.h"
#include "platform/CString.h"
#include "platform/ZkExport.h"

// The process-wide node-detail resource library: the records of
// "NodeDetailDataEx.xml", kept in library order. Records only: deleting or
// renaming never touches a detail's drawing and slide files.
class ZKND_API CNodeDetailResDataManager {
public:
    static CNodeDetailResDataManager* Instance();

    CNodeDetailResDataManager(const CNodeDetailResDataManager&) = default;
    CNodeDetailResDataManager& operator=(const CNodeDetailResDataManager&) = default;

    // Replaces the list with the file's records; false when the file is
    // missing (nothing changed) or could not be read (list left empty).
    bool Load();
    // Overwrites the file with the whole list; false when it was not written.
    bool Save();
    // Empties the list and loads; always true.
    bool Update();
    // Whether the library was loaded or edited since the manager was created.
    bool DataChanged();
    CString GetFileName() const;

    bool GetVecNodeDetailResData(std::vector<NodeDetailResData>& vecData);
    bool SetVecNodeDetailResData(const std::vector<NodeDetailResData>& vecData);
    // Puts the record first, replacing the first record of the same name
    // (ignoring case).
    void AddNodeDetailResData(const NodeDetailResData& data);
    // Records whose display name contains the text (case-sensitive).
    bool GetVecNodeDetailResDataBySearchInfo(const wchar_t* pszSearch,
                                             std::vector<NodeDetailResData>& vecData);
    int GetDataCount();

    // First match ignoring case: its index, and the record copied out; -1
    // with the output untouched when nothing matches.
    int FindDataByDisplayName(const wchar_t* pszName, NodeDetailResData& data);
    int FindDataByGuid(const wchar_t* pszGuid, NodeDetailResData& data);
    bool CheckNameExist(const wchar_t* pszName);
    bool CheckNameExist(const wchar_t* pszName, int& nIndex);

    bool ModifyNodeName(const int& nIndex, const wchar_t* pszName);
    bool ModifyNodeCheckSta(const int& nIndex, const bool& bCheck);
    // Clears every check mark.
    bool RecoverNodeCheckSta();

    bool DelNode(const int& nIndex);
    // Removes the first record of that name, ignoring case.
    bool DelNode(const wchar_t* pszName);
    // Removes every checked record.
    bool DelNode();

    // Duplicates a detail under the first free name "name(n)" with a new GUID,
    // placed at the source's position, and copies its drawing and slide
    // files. 1 when both files were copied, else 0 (also when there is no
    // such source, in which case nothing changes).
    int CopyNode(const int& nIndex);
    int CopyNode(const wchar_t* pszName);

    // Natural name order; equivalent names may end in any order.
    bool SortData();

private:
    CNodeDetailResDataManager();
    ~CNodeDetailResDataManager();

    bool IsValidIndex(int nIndex) const;
    int FindByName(const wchar_t* pszName) const;
    int CopyNodeAt(int nIndex, const CString& strFolder);

    std::vector<NodeDetailResData> m_vecNodeDetailResData;
    CString m_strFileName;
    bool m_bDataChanged;
};
