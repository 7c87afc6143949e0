#pragma once

// What a save that merges needs to know of the fitting library (not
// exported). A group is identified by its fitting type and its rank among the
// groups of that type (a file may hold several, and AddFit adds to each);
// what it holds is its list of fittings, merged in turn. A fitting is
// identified within its group by its GUID text, compared as GetFitName
// compares it, or by its display name where GUID texts are empty or repeated;
// its fields are those of the file (the check mark and the type are not
// saved with it); no two fittings of a group may end with one name.

#include <cstring>
#include <string>
#include <vector>

#include "fitting/FittingData.h"
#include "platform/ZkHost.h"
#include "platform/internal/records/RecordMerge.h"

struct ZkFittingFields {
    static const CString& Guid(const FittingData& r) { return r.m_strGUID; }
    static const CString& Name(const FittingData& r) { return r.m_strDisplayName; }
    static void SetName(FittingData& r, const CString& s) { r.m_strDisplayName = s; }
    static const std::vector<FittingData>& Fittings(const FittingInfo& g) { return g.m_vecFitData; }
    static std::vector<FittingData>& Fittings(FittingInfo& g) { return g.m_vecFitData; }
    static int Type(const FittingInfo& g) { return static_cast<int>(g.m_fitType); }

    // The fields of the file, in its order.
    enum Field : int {
        kPos,
        kGuid,
        kBlockName,
        kScale,
        kDisplayName,
        kDescription,
        kDirection,
        kButtressPos,
        kConnectors,
        kCount
    };

    // Reals as the file keeps them: bit for bit.
    static bool SameReal(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static bool SameU3(const stu3Value& a, const stu3Value& b)
    {
        return SameReal(a.x, b.x) && SameReal(a.y, b.y) && SameReal(a.z, b.z);
    }
    static bool SameConnectors(const std::vector<ConnectorData>& a,
                               const std::vector<ConnectorData>& b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!SameU3(a[i].GetPos(), b[i].GetPos()) ||
                !SameReal(a[i].GetAngle(), b[i].GetAngle()) ||
                a[i].GetConType() != b[i].GetConType() || a[i].GetIndex() != b[i].GetIndex())
                return false;
        return true;
    }

    static bool Same(const FittingData& a, const FittingData& b, int i)
    {
        switch (i) {
        case kPos:
            return SameU3(a.m_pos, b.m_pos);
        case kGuid:
            return a.m_strGUID == b.m_strGUID;
        case kBlockName:
            return a.m_strBlockName == b.m_strBlockName;
        case kScale:
            return SameReal(a.m_dScale, b.m_dScale);
        case kDisplayName:
            return a.m_strDisplayName == b.m_strDisplayName;
        case kDescription:
            return a.m_strDescription == b.m_strDescription;
        case kDirection:
            return SameU3(a.m_direction, b.m_direction);
        case kButtressPos:
            return SameU3(a.m_buttressPos, b.m_buttressPos);
        default:
            return SameConnectors(a.m_vecConnector, b.m_vecConnector);
        }
    }
    static void Take(FittingData& to, const FittingData& from, int i)
    {
        switch (i) {
        case kPos:
            to.m_pos = from.m_pos;
            break;
        case kGuid:
            to.m_strGUID = from.m_strGUID;
            break;
        case kBlockName:
            to.m_strBlockName = from.m_strBlockName;
            break;
        case kScale:
            to.m_dScale = from.m_dScale;
            break;
        case kDisplayName:
            to.m_strDisplayName = from.m_strDisplayName;
            break;
        case kDescription:
            to.m_strDescription = from.m_strDescription;
            break;
        case kDirection:
            to.m_direction = from.m_direction;
            break;
        case kButtressPos:
            to.m_buttressPos = from.m_buttressPos;
            break;
        default:
            to.m_vecConnector = from.m_vecConnector;
            break;
        }
    }
    static const wchar_t* Name(int i)
    {
        static const wchar_t* const kNames[] = {L"Pos",       L"GUID",        L"BlockName",
                                                L"Scale",     L"DisplayName", L"Description",
                                                L"Direction", L"ButtressPos", L"vecConnector"};
        return kNames[i];
    }
    static std::wstring Text(const FittingData& r, int i)
    {
        switch (i) {
        case kPos:
            return ZkU3ValueToText(r.m_pos).GetString();
        case kGuid:
            return r.m_strGUID.GetString();
        case kBlockName:
            return r.m_strBlockName.GetString();
        case kScale:
            return ZkU3ValueToText(stu3Value(r.m_dScale, 0, 0)).GetString();
        case kDisplayName:
            return r.m_strDisplayName.GetString();
        case kDescription:
            return r.m_strDescription.GetString();
        case kDirection:
            return ZkU3ValueToText(r.m_direction).GetString();
        case kButtressPos:
            return ZkU3ValueToText(r.m_buttressPos).GetString();
        default:
            return std::to_wstring(r.m_vecConnector.size()) + L" connectors";
        }
    }
};

struct ZkFittingMerge : ZkRecords::PlainRecordMerge<FittingData, ZkFittingFields, ZkFittingMerge> {
    static ZkDiag::MergeNote Note(const ZkRecords::Scope& scope, const Record& r, ZkMergeKind kind)
    {
        ZkDiag::MergeNote note;
        note.kind = kind;
        note.pszSection = L"FitRow";
        note.nFitType = scope.nFitType;
        note.strGuid = Fields::Guid(r).GetString();
        note.strName = Fields::Name(r).GetString();
        note.strWho = L"fitting \"" + note.strName + L"\"" +
                      (note.strGuid.empty() ? L"" : L" (" + note.strGuid + L")") + L" of type " +
                      std::to_wstring(scope.nFitType);
        return note;
    }
    static std::wstring ListName(const ZkRecords::Scope& scope)
    {
        return L"the fittings of type " + std::to_wstring(scope.nFitType);
    }
};

struct ZkFittingGroupMerge {
    using Record = FittingInfo;
    using Fields = ZkFittingFields;
    static constexpr bool kNested = true;
    static constexpr bool kUniqueNames = false;

    static void Identify(const std::vector<const std::vector<Record>*>& lists,
                         std::vector<std::vector<ZkRecords::Key>>& keys)
    {
        keys.assign(lists.size(), {});
        for (size_t l = 0; l < lists.size(); ++l) {
            std::vector<std::pair<int, size_t>> ranks;  // type, groups of it so far
            for (const Record& g : *lists[l]) {
                size_t nRank = 0;
                bool bFound = false;
                for (auto& r : ranks)
                    if (r.first == Fields::Type(g)) {
                        nRank = r.second++;
                        bFound = true;
                    }
                if (!bFound)
                    ranks.emplace_back(Fields::Type(g), 1);
                keys[l].push_back(ZkRecords::NumberKey(Fields::Type(g), nRank));
            }
        }
    }
    static bool Same(const Record& a, const Record& b)
    {
        const std::vector<FittingData>& fa = Fields::Fittings(a);
        const std::vector<FittingData>& fb = Fields::Fittings(b);
        if (Fields::Type(a) != Fields::Type(b) || fa.size() != fb.size())
            return false;
        for (size_t i = 0; i < fa.size(); ++i)
            if (!ZkFittingMerge::Same(fa[i], fb[i]))
                return false;
        return true;
    }
    static void Merge(const ZkRecords::Scope& scope, Record& out, const Record* pOurBase,
                      const ZkRecords::Origin* pNestedOrigin, const Record* pBase,
                      const Record& ours, const Record& theirs, ZkRecords::Origin& nestedOut)
    {
        ZkRecords::Scope inner = scope;
        inner.nFitType = Fields::Type(theirs);
        static const std::vector<FittingData> kNone;
        static const ZkRecords::Origin kNoOrigin;
        const std::vector<FittingData>& base = pBase != nullptr ? Fields::Fittings(*pBase) : kNone;
        // Ours added the group: its base is empty. Otherwise ourBase is
        // base, fitting for fitting, unless an origin says where they went.
        const std::vector<FittingData>* pOurFits = &kNone;
        const ZkRecords::Origin* pOrigin = &kNoOrigin;
        if (pOurBase != nullptr) {
            pOurFits = pNestedOrigin != nullptr ? &Fields::Fittings(*pOurBase) : nullptr;
            pOrigin = pNestedOrigin;
        }
        std::vector<FittingData> result;
        ZkRecords::MergeLists<ZkFittingMerge>(inner, pOurFits, pOrigin, base,
                                              Fields::Fittings(ours), Fields::Fittings(theirs),
                                              result, nestedOut);
        Fields::Fittings(out) = std::move(result);
    }
    static void NoteChanges(const ZkRecords::Scope& scope, const Record& base, const Record& theirs)
    {
        ZkRecords::Scope inner = scope;
        inner.nFitType = Fields::Type(theirs);
        std::vector<FittingData> unused;
        ZkRecords::Origin unusedOrigin;
        ZkRecords::MergeLists<ZkFittingMerge>(inner, nullptr, nullptr, Fields::Fittings(base),
                                              Fields::Fittings(base), Fields::Fittings(theirs),
                                              unused, unusedOrigin);
    }
    static void KeptAsIs(const Record& r, ZkRecords::Origin& nestedOut)
    {
        nestedOut.vecToBase.clear();
        for (size_t i = 0; i < Fields::Fittings(r).size(); ++i)
            nestedOut.vecToBase.push_back(static_cast<int>(i));
    }
    static ZkDiag::MergeNote Note(const ZkRecords::Scope&, const Record& r, ZkMergeKind kind)
    {
        ZkDiag::MergeNote note;
        note.kind = kind;
        note.pszSection = L"FitInfo";
        note.nFitType = Fields::Type(r);
        note.strWho = L"the fitting group of type " + std::to_wstring(note.nFitType);
        return note;
    }
    static const CString& Name(const Record&)
    {
        static const CString kNoName;
        return kNoName;
    }
    static void SetName(Record&, const CString&) {}
    static std::wstring ListName(const ZkRecords::Scope&) { return L"the fitting groups"; }
};
