#pragma once

// What a save that merges needs to know of a node detail (not exported): it
// is identified by its GUID text, compared as FindDataByGuid compares it, or
// by its name where GUID texts are empty or repeated; its fields are those of
// the file ("GuId", "DisplayName", "Description"; the check mark is not
// saved); and no two node details may end with one name, as CheckNameExist
// compares names.

#include <string>
#include <vector>

#include "nodedetail/NodeDetailResData.h"
#include "platform/internal/records/RecordMerge.h"

struct ZkNodeDetailFields {
    static const CString& Guid(const NodeDetailResData& r) { return r.m_strGuid; }
    static const CString& Name(const NodeDetailResData& r) { return r.m_strDisplayName; }
    static void SetName(NodeDetailResData& r, const CString& s) { r.m_strDisplayName = s; }

    // The fields of the file, in its order.
    static constexpr int kCount = 3;
    template <typename R>
    static auto& Field(R& r, int i)
    {
        return i == 0 ? r.m_strGuid : i == 1 ? r.m_strDisplayName : r.m_strDescription;
    }
    static bool Same(const NodeDetailResData& a, const NodeDetailResData& b, int i)
    {
        return Field(a, i) == Field(b, i);
    }
    static void Take(NodeDetailResData& to, const NodeDetailResData& from, int i)
    {
        Field(to, i) = Field(from, i);
    }
    static const wchar_t* Name(int i)
    {
        static const wchar_t* const kNames[] = {L"GuId", L"DisplayName", L"Description"};
        return kNames[i];
    }
    static std::wstring Text(const NodeDetailResData& r, int i) { return Field(r, i).GetString(); }
};

struct ZkNodeDetailMerge
    : ZkRecords::PlainRecordMerge<NodeDetailResData, ZkNodeDetailFields, ZkNodeDetailMerge> {
    static ZkDiag::MergeNote Note(const ZkRecords::Scope&, const Record& r, ZkMergeKind kind)
    {
        ZkDiag::MergeNote note;
        note.kind = kind;
        note.pszSection = L"NodeDetailResDataRow";
        note.strGuid = r.GetGuid().GetString();
        note.strName = Fields::Name(r).GetString();
        note.strWho = L"node detail \"" + note.strName + L"\"" +
                      (note.strGuid.empty() ? L"" : L" (" + note.strGuid + L")");
        return note;
    }
    static std::wstring ListName(const ZkRecords::Scope&) { return L"the node details"; }
};
