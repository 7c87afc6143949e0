#pragma once

#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/ZkGuid.h"

namespace ZkNd {
class CXTPPropExchange;
}  // namespace ZkNd

// One node detail of the resource library. The GUID text also names the
// detail's drawing (".dwg") and slide (".sld") files.
class ZKND_API NodeDetailResData {
public:
    // Empty GUID and texts, unchecked.
    NodeDetailResData();
    // A new detail: fresh GUID, display name and description both set to the name.
    NodeDetailResData(const wchar_t* pszName);
    NodeDetailResData(const NodeDetailResData& other);
    NodeDetailResData& operator=(const NodeDetailResData& other);
    // Moves keep sorting and list growth free of text copies.
    NodeDetailResData(NodeDetailResData&& other) noexcept;
    NodeDetailResData& operator=(NodeDetailResData&& other) noexcept;
    ~NodeDetailResData();

    ZkNd::CString GetGuid() const;
    // Stores the canonical 36-character upper-case text, without braces.
    void SetGuid(const _GUID& guid);
    // Stores the text as it is.
    void SetGuid(const wchar_t* pszGuid);

    ZkNd::CString GetDisplayName() const;
    void SetDisplayName(const wchar_t* pszName);

    ZkNd::CString GetDescription() const;
    void SetDescription(const wchar_t* pszDescription);

    // Selection mark for DelNode(); not persisted.
    bool GetCheck() const;
    void SetCheck(const bool& bCheck);

    // Natural order of the display names: runs of digits compare by value,
    // everything else by UTF-16 code unit, case-sensitively. Never allocates.
    bool operator<(const NodeDetailResData& other);

    // Reads or writes "GuId", "DisplayName" and "Description"; the check mark
    // is not persisted.
    void DoPropExchange(ZkNd::CXTPPropExchange* pPX);

private:
    // The library's lookups compare names and GUID texts in place, and so
    // does a save that merges.
    friend class CNodeDetailResDataManager;
    friend struct ZkNodeDetailFields;

    ZkNd::CString m_strGuid;
    ZkNd::CString m_strDisplayName;
    ZkNd::CString m_strDescription;
    bool m_bCheck;
};
