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
#include <tuple>
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
    static bool SameValue(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static bool SameValue(const stu3Value& a, const stu3Value& b)
    {
        return SameValue(a.x, b.x) && SameValue(a.y, b.y) && SameValue(a.z, b.z);
    }
    static bool SameValue(const CString& a, const CString& b) { return a == b; }
    static bool SameValue(const std::vector<ConnectorData>& a, const std::vector<ConnectorData>& b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!SameValue(a[i].GetPos(), b[i].GetPos()) ||
                !SameValue(a[i].GetAngle(), b[i].GetAngle()) ||
                a[i].GetConType() != b[i].GetConType() || a[i].GetIndex() != b[i].GetIndex())
                return false;
        return true;
    }

    static std::wstring TextOf(const stu3Value& v) { return ZkU3ValueToText(v).GetString(); }
    static std::wstring TextOf(double d) { return TextOf(stu3Value(d, 0, 0)); }
    static std::wstring TextOf(const CString& s) { return s.GetString(); }
    static std::wstring TextOf(const std::vector<ConnectorData>& v)
    {
        return std::to_wstring(v.size()) + L" connectors";
    }

    // f applied to field i of a and of b, in the order of Field: the one
    // place that knows which member each field is.
    template <int K = 0, typename A, typename B, typename F>
    static auto OnField(A& a, B& b, int i, F f)
    {
        constexpr auto kMembers = std::make_tuple(
            &FittingData::m_pos, &FittingData::m_strGUID, &FittingData::m_strBlockName,
            &FittingData::m_dScale, &FittingData::m_strDisplayName, &FittingData::m_strDescription,
            &FittingData::m_direction, &FittingData::m_buttressPos, &FittingData::m_vecConnector);
        static_assert(std::tuple_size<decltype(kMembers)>::value == kCount, "a member per field");
        constexpr auto member = std::get<K>(kMembers);
        if constexpr (K + 1 < kCount) {
            if (i != K)
                return OnField<K + 1>(a, b, i, f);
        }
        return f(a.*member, b.*member);
    }

    static bool Same(const FittingData& a, const FittingData& b, int i)
    {
        return OnField(a, b, i, [](const auto& x, const auto& y) { return SameValue(x, y); });
    }
    static void Take(FittingData& to, const FittingData& from, int i)
    {
        OnField(to, from, i, [](auto& x, const auto& y) { x = y; });
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
        return OnField(r, r, i, [](const auto& x, const auto&) { return TextOf(x); });
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
