#pragma once

// The three-way merge of an ordered list of keyed records (not exported), for
// a Save that finds its library file changed by another process since the
// manager last loaded or saved it. It knows nothing of node details or
// fittings: a record type's traits say what identifies a record, what its
// fields are and what its name is. docs/saving.md states the rules.
//
// The four lists: base, the records of the file as this manager last loaded
// or wrote it; theirs, the records of the file now; ours, the manager's list
// now; and ourBase, what the manager's list was when base was written. After
// a Load or a plain Save ourBase is base itself. After a Save that merged, the
// file held more than the list (the other side's records, names changed to
// keep them apart), so ourBase is the list as it was at that Save, with an
// Origin telling where each of its records went in the file: our changes are
// then those since that Save, and nothing of the merge is undone or done
// twice.
//
// What ours changed since ourBase is laid over what theirs holds, field by
// field; where both changed a field, ours wins and a conflict is noted. A
// record deleted on one side and changed on the other is kept, with the
// change. The side that changed the order wins it (ours, when both did),
// and the other side's records go next to the neighbours they had there.
// Records whose names ours gave them and theirs already uses take the next
// free name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/internal/report/Diagnostics.h"
#include "platform/internal/text/Unicode.h"

namespace ZkRecords {

// What identifies a record within its list: a text compared as the library's
// lookups compare it (ASCII letters folded), or a number, with the rank among
// the records of the list that share it.
struct Key {
    enum Kind : int { kGuid, kName, kNumber };
    Kind kind = kGuid;
    const wchar_t* pText = nullptr;  // kGuid, kName: in the record, which outlives the key
    size_t nText = 0;
    long long nNumber = 0;  // kNumber
    size_t nRank = 0;
    size_t nHash = 0;
};

inline size_t FoldedHash(const wchar_t* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ (ZkText::Unit(ZkText::FoldAscii(p[i])))) * 1099511628211ull;
    // Mixed down to the low bits, which pick a table's slot.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    return static_cast<size_t>(h ^ (h >> 33));
}

inline Key TextKey(Key::Kind kind, const wchar_t* p, size_t n, size_t nHash, size_t nRank)
{
    Key key;
    key.kind = kind;
    key.pText = p;
    key.nText = n;
    key.nRank = nRank;
    key.nHash = nHash + nRank * 0x9E3779B97F4A7C15ull + static_cast<size_t>(kind);
    return key;
}

inline Key TextKey(Key::Kind kind, const CString& text, size_t nRank)
{
    const size_t n = static_cast<size_t>(text.GetLength());
    return TextKey(kind, text.GetString(), n, FoldedHash(text.GetString(), n), nRank);
}

inline Key NumberKey(long long nNumber, size_t nRank)
{
    Key key;
    key.kind = Key::kNumber;
    key.nNumber = nNumber;
    key.nRank = nRank;
    key.nHash = (static_cast<size_t>(nNumber) * 1000003u + nRank) * 0x9E3779B97F4A7C15ull;
    return key;
}

struct KeyEqual {
    bool operator()(const Key& a, const Key& b) const
    {
        return a.nHash == b.nHash && a.kind == b.kind && a.nRank == b.nRank &&
               a.nNumber == b.nNumber &&
               (a.kind == Key::kNumber ||
                ZkText::CompareOrdinalNoCase(a.pText, a.nText, b.pText, b.nText) == 0);
    }
};

// Keys, found by their hashes in one flat table: a list of 100,000 records
// makes one allocation, not one per record. The first of equal keys counts.
class KeyIndex {
public:
    explicit KeyIndex(const std::vector<Key>& keys) : m_keys(keys)
    {
        size_t n = 16;
        while (n < keys.size() * 2)
            n <<= 1;
        m_slots.assign(n, -1);
        m_mask = n - 1;
        for (size_t i = 0; i < keys.size(); ++i) {
            int& slot = Slot(keys[i]);
            if (slot < 0)
                slot = static_cast<int>(i);
        }
    }
    // Where the key is in the list indexed, or -1.
    int Find(const Key& key) const { return const_cast<KeyIndex*>(this)->Slot(key); }

private:
    // The slot of the key, or the empty slot it would take.
    int& Slot(const Key& key)
    {
        for (size_t s = key.nHash & m_mask;; s = (s + 1) & m_mask) {
            int& slot = m_slots[s];
            if (slot < 0 || KeyEqual()(m_keys[static_cast<size_t>(slot)], key))
                return slot;
        }
    }

    const std::vector<Key>& m_keys;
    std::vector<int> m_slots;
    size_t m_mask = 0;
};

// A text as the library's lookups compare it, for sets of names.
struct FoldedText {
    const wchar_t* p;
    size_t n;
};
struct FoldedTextHash {
    size_t operator()(const FoldedText& t) const { return FoldedHash(t.p, t.n); }
};
struct FoldedTextEqual {
    bool operator()(const FoldedText& a, const FoldedText& b) const
    {
        return ZkText::CompareOrdinalNoCase(a.p, a.n, b.p, b.n) == 0;
    }
};

inline FoldedText Folded(const CString& s)
{
    return {s.GetString(), static_cast<size_t>(s.GetLength())};
}

// Keys for records identified by their GUID text, or by their name where the
// GUID text is empty or repeated within any of the lists (then, where names
// repeat too, by the rank among the records of that name). The same for every
// list, so that keys compare across them. guidOf and nameOf give a record's
// texts as const CString&.
template <typename Record, typename GuidOf, typename NameOf>
void KeysByGuidOrName(const std::vector<const std::vector<Record>*>& lists,
                      std::vector<std::vector<Key>>& keys, GuidOf guidOf, NameOf nameOf)
{
    // Every non-empty GUID text first stands for its record; those repeated
    // within a list (rare) are then set apart.
    keys.assign(lists.size(), {});
    std::unordered_set<FoldedText, FoldedTextHash, FoldedTextEqual> repeated;
    for (size_t l = 0; l < lists.size(); ++l) {
        std::vector<Key>& out = keys[l];
        out.reserve(lists[l]->size());
        for (const Record& r : *lists[l])
            out.push_back(TextKey(Key::kGuid, guidOf(r), 0));
        const KeyIndex index(out);
        for (size_t i = 0; i < out.size(); ++i)
            if (index.Find(out[i]) != static_cast<int>(i))
                repeated.insert(Folded(guidOf((*lists[l])[i])));
    }
    std::unordered_map<FoldedText, size_t, FoldedTextHash, FoldedTextEqual> names;
    for (size_t l = 0; l < lists.size(); ++l) {
        names.clear();
        std::vector<Key>& out = keys[l];
        for (size_t i = 0; i < out.size(); ++i) {
            const CString& strGuid = guidOf((*lists[l])[i]);
            if (strGuid.IsEmpty() || (!repeated.empty() && repeated.count(Folded(strGuid)) != 0)) {
                const CString& strName = nameOf((*lists[l])[i]);
                out[i] = TextKey(Key::kName, strName, names[Folded(strName)]++);
            }
        }
    }
}

// Where each record of ourBase went in the file written: its index there, or
// -1; and for records holding a list of their own, the same for that list.
struct Origin {
    std::vector<int> vecToBase;
    std::vector<Origin> vecNested;
};

// Where notes of a merge go, and what a nested list's records belong to.
struct Scope {
    ZkDiag::Capture* pCapture = nullptr;
    int nFitType = -1;  // the group's type, in a fitting group's list

    void Note(ZkDiag::MergeNote note) const
    {
        if (pCapture != nullptr)
            pCapture->AddMerge(std::move(note));
    }
};

// The per-record part for records made of plain fields. Fields gives
// kCount, Same(a, b, i), Take(to, from, i), Name(i) (the property) and
// Text(record, i) (its value in a note); Traits gives Note(scope, record,
// kind) for a note about a record.
template <typename Record, typename Fields, typename Traits>
struct FieldMerge {
    static bool Same(const Record& a, const Record& b)
    {
        for (int i = 0; i < Fields::kCount; ++i)
            if (!Fields::Same(a, b, i))
                return false;
        return true;
    }

    // out holds theirs. What ours changed since ourBase (all of it, when ours
    // added the record) goes over it; a field theirs changed since base (all,
    // when theirs added it) and ours changed otherwise is a conflict.
    static void Merge(const Scope& scope, Record& out, const Record* pOurBase, const Record* pBase,
                      const Record& ours, const Record& theirs)
    {
        for (int i = 0; i < Fields::kCount; ++i) {
            const bool bOurs = pOurBase == nullptr || !Fields::Same(ours, *pOurBase, i);
            const bool bTheirs = pBase == nullptr || !Fields::Same(theirs, *pBase, i);
            if (bOurs) {
                if (bTheirs && !Fields::Same(ours, theirs, i)) {
                    ZkDiag::MergeNote note = Traits::Note(scope, theirs, ZkMergeKind::kConflict);
                    note.strField = Fields::Name(i);
                    note.strOurs = Fields::Text(ours, i);
                    note.strTheirs = Fields::Text(theirs, i);
                    scope.Note(std::move(note));
                }
                Fields::Take(out, ours, i);
            } else if (bTheirs) {
                NoteChange(scope, theirs, i);
            }
        }
    }

    // Notes what theirs changed since base.
    static void NoteChanges(const Scope& scope, const Record& base, const Record& theirs)
    {
        for (int i = 0; i < Fields::kCount; ++i)
            if (!Fields::Same(theirs, base, i))
                NoteChange(scope, theirs, i);
    }

    static void NoteChange(const Scope& scope, const Record& theirs, int i)
    {
        ZkDiag::MergeNote note = Traits::Note(scope, theirs, ZkMergeKind::kChanged);
        note.strField = Fields::Name(i);
        note.strTheirs = Fields::Text(theirs, i);
        scope.Note(std::move(note));
    }
};

// The traits a record type made of plain fields shares (see below):
// identified by its GUID text or its name, merged field by field, holding no
// list of its own, its name unique in the list. Traits derives from it and
// adds Note and ListName.
template <typename R, typename F, typename Traits>
struct PlainRecordMerge {
    using Record = R;
    using Fields = F;
    using Flat = FieldMerge<Record, Fields, Traits>;
    static constexpr bool kNested = false;
    static constexpr bool kUniqueNames = true;

    static void Identify(const std::vector<const std::vector<Record>*>& lists,
                         std::vector<std::vector<Key>>& keys)
    {
        KeysByGuidOrName(lists, keys, Fields::Guid,
                         static_cast<const CString& (*)(const Record&)>(Fields::Name));
    }
    static bool Same(const Record& a, const Record& b) { return Flat::Same(a, b); }
    static void Merge(const Scope& scope, Record& out, const Record* pOurBase, const Origin*,
                      const Record* pBase, const Record& ours, const Record& theirs, Origin&)
    {
        Flat::Merge(scope, out, pOurBase, pBase, ours, theirs);
    }
    static void NoteChanges(const Scope& scope, const Record& base, const Record& theirs)
    {
        Flat::NoteChanges(scope, base, theirs);
    }
    static void KeptAsIs(const Record&, Origin&) {}
    static const CString& Name(const Record& r) { return Fields::Name(r); }
    static void SetName(Record& r, const CString& s) { Fields::SetName(r, s); }
};

// A name without a trailing "(n)": "Pump(2)" gives "Pump", "Pump" itself.
inline CString NameStem(const CString& strName)
{
    const wchar_t* p = strName.GetString();
    int i = strName.GetLength() - 1;
    if (i < 2 || p[i] != L')')
        return strName;
    int j = i - 1;
    while (j >= 0 && p[j] >= L'0' && p[j] <= L'9')
        --j;
    return j >= 0 && j < i - 1 && p[j] == L'(' ? CString(p, j) : strName;
}

// Traits of a record type (see the node-detail and fitting ones):
//   using Record;
//   static constexpr bool kNested: records hold a list merged in turn;
//   static constexpr bool kUniqueNames: names ours gave that theirs uses are
//     changed to the next free one;
//   static void Identify(lists, keys): keys of each list's records, which
//     compare across the lists;
//   static bool Same(a, b): equal in everything the file holds;
//   static void Merge(scope, out, pOurBase, pNestedOrigin, pBase, ours,
//     theirs, nestedOut): out holds theirs; makes it the merge of the record.
//     pNestedOrigin is that of ourBase's record, or null where ourBase is
//     base; nestedOut says where ours' nested records went;
//   static void NoteChanges(scope, base, theirs): notes what theirs changed;
//   static void KeptAsIs(record, nestedOut): nestedOut for a record written
//     as ours has it;
//   static ZkDiag::MergeNote Note(scope, record, kind): a note about it;
//   static const CString& Name(record), static void SetName(record, name);
//   static std::wstring ListName(scope): the list, in a note on its order.

// Merges the lists into result; toResult says where each record of ours went
// (for the next merge, with ours as its ourBase). pOurBase null: ourBase is
// base, record for record.
template <typename Traits>
void MergeLists(const Scope& scope, const std::vector<typename Traits::Record>* pOurBase,
                const Origin* pOrigin, const std::vector<typename Traits::Record>& base,
                const std::vector<typename Traits::Record>& ours,
                const std::vector<typename Traits::Record>& theirs,
                std::vector<typename Traits::Record>& result, Origin& toResult)
{
    using Record = typename Traits::Record;
    const std::vector<Record>& ourBase = pOurBase != nullptr ? *pOurBase : base;
    const int nP = static_cast<int>(ourBase.size());
    const int nB = static_cast<int>(base.size());
    const int nO = static_cast<int>(ours.size());
    const int nT = static_cast<int>(theirs.size());

    // Keys, the same way for all four lists.
    std::vector<std::vector<Key>> keys;
    if (pOurBase != nullptr) {
        Traits::Identify({&ourBase, &base, &ours, &theirs}, keys);
    } else {
        Traits::Identify({&base, &ours, &theirs}, keys);
        keys.insert(keys.begin(), keys[0]);
    }
    const KeyIndex inOurBase(keys[0]);
    const KeyIndex inTheirs(keys[3]);
    auto find = [](const KeyIndex& index, const Key& key) { return index.Find(key); };

    // The links: ours to ourBase by key (our side's history), ourBase to base
    // by the origin, base to theirs by key (the file's history).
    std::vector<int> oP(nO, -1), pO(nP, -1), pB(nP, -1), bP(nB, -1), bT(nB, -1), tB(nT, -1);
    std::vector<int> oT(nO, -1), tO(nT, -1);
    for (int o = 0; o < nO; ++o) {
        const int p = find(inOurBase, keys[2][o]);
        if (p >= 0 && pO[p] < 0)
            oP[o] = p, pO[p] = o;
    }
    for (int p = 0; p < nP; ++p) {
        int b = p;
        if (pOrigin != nullptr)
            b = static_cast<size_t>(p) < pOrigin->vecToBase.size() ? pOrigin->vecToBase[p] : -1;
        if (b >= 0 && b < nB && bP[b] < 0)
            pB[p] = b, bP[b] = p;
    }
    for (int b = 0; b < nB; ++b) {
        const int t = find(inTheirs, keys[1][b]);
        if (t >= 0 && tB[t] < 0)
            bT[b] = t, tB[t] = b;
    }
    for (int o = 0; o < nO; ++o) {
        const int p = oP[o];
        const int t = p >= 0 && pB[p] >= 0 ? bT[pB[p]] : -1;
        if (t >= 0)
            oT[o] = t, tO[t] = o;
    }
    // A record ours added is theirs where theirs has one of its key that our
    // side never knew: both added it.
    for (int o = 0; o < nO; ++o) {
        if (oP[o] >= 0)
            continue;
        const int t = find(inTheirs, keys[2][o]);
        if (t >= 0 && tO[t] < 0 && (tB[t] < 0 || bP[tB[t]] < 0))
            oT[o] = t, tO[t] = o;
    }

    // The records written, each from ours, theirs or both.
    struct Slot {
        Record value;
        bool bOurName = false;    // its name is one ours gave it
        bool bTheirName = false;  // its name is one theirs gave it, or one ours never knew
        Origin nested;
        int next = -1;
    };
    std::vector<Slot> slots;
    slots.reserve(static_cast<size_t>(std::max(nO, nT)) + 16);
    std::vector<int> oSlot(nO, -1), tSlot(nT, -1);
    auto sameName = [](const Record& a, const Record& b) {
        return Traits::Name(a) == Traits::Name(b);
    };
    for (int o = 0; o < nO; ++o) {
        const int p = oP[o];
        const int t = oT[o];
        if (t >= 0) {
            const int b = p >= 0 ? pB[p] : tB[t];
            const Origin* pNested = nullptr;
            if (Traits::kNested && p >= 0 && pOrigin != nullptr &&
                static_cast<size_t>(p) < pOrigin->vecNested.size())
                pNested = &pOrigin->vecNested[p];
            Slot slot{theirs[t], false, false, Origin(), -1};
            Traits::Merge(scope, slot.value, p >= 0 ? &ourBase[p] : nullptr, pNested,
                          b >= 0 ? &base[b] : nullptr, ours[o], theirs[t], slot.nested);
            slot.bOurName = p >= 0 ? !sameName(ours[o], ourBase[p]) : !sameName(ours[o], theirs[t]);
            slot.bTheirName = !slot.bOurName && (p < 0 || b < 0 || !sameName(theirs[t], base[b]));
            oSlot[o] = static_cast<int>(slots.size());
            slots.push_back(std::move(slot));
        } else if (p >= 0 && Traits::Same(ours[o], ourBase[p])) {
            // Theirs deleted it and ours did not change it.
            if (pB[p] >= 0)
                scope.Note(Traits::Note(scope, base[pB[p]], ZkMergeKind::kDeleted));
        } else {
            // Added by ours, or changed by ours and deleted by theirs.
            Slot slot{ours[o], true, false, Origin(), -1};
            Traits::KeptAsIs(ours[o], slot.nested);
            if (p >= 0)
                scope.Note(Traits::Note(scope, ours[o], ZkMergeKind::kKeptChangedHere));
            oSlot[o] = static_cast<int>(slots.size());
            slots.push_back(std::move(slot));
        }
    }
    for (int t = 0; t < nT; ++t) {
        if (tO[t] >= 0)
            continue;
        const int b = tB[t];
        const int p = b >= 0 ? bP[b] : -1;
        if (p >= 0 && Traits::Same(theirs[t], base[b]))
            continue;  // ours deleted it; theirs did not change it
        if (p >= 0)
            scope.Note(Traits::Note(scope, theirs[t], ZkMergeKind::kKeptChangedThere));
        else if (b >= 0)
            Traits::NoteChanges(scope, base[b], theirs[t]);
        else
            scope.Note(Traits::Note(scope, theirs[t], ZkMergeKind::kAdded));
        tSlot[t] = static_cast<int>(slots.size());
        slots.push_back(
            Slot{theirs[t], false, p < 0 || !sameName(theirs[t], base[b]), Origin(), -1});
    }
    // Records theirs deleted that our side never had, or had too and deleted.
    for (int b = 0; b < nB; ++b)
        if (bT[b] < 0 && bP[b] < 0)
            scope.Note(Traits::Note(scope, base[b], ZkMergeKind::kDeleted));

    // The order: a side changed it when the records it kept from its base
    // stand in another order.
    auto reordered = [](const std::vector<int>& toBase) {
        int nLast = -1;
        for (const int i : toBase) {
            if (i < 0)
                continue;
            if (i < nLast)
                return true;
            nLast = i;
        }
        return false;
    };
    const bool bOursOrder = reordered(oP);
    if (bOursOrder && reordered(tB)) {
        ZkDiag::MergeNote note;
        note.kind = ZkMergeKind::kOrder;
        note.nFitType = scope.nFitType;
        note.strList = Traits::ListName(scope);
        scope.Note(std::move(note));
    }
    int nHead = -1;
    int nTail = -1;
    auto append = [&](int s) {
        (nTail < 0 ? nHead : slots[static_cast<size_t>(nTail)].next) = s;
        nTail = s;
    };
    auto insertAfter = [&](int nAnchor, int s) {
        int& next = nAnchor < 0 ? nHead : slots[static_cast<size_t>(nAnchor)].next;
        slots[static_cast<size_t>(s)].next = next;
        next = s;
        if (nTail == nAnchor)
            nTail = s;
    };
    // The winning side's records in its order; then each of the other side's
    // own records right after the nearest record before it there that is
    // written (first, when there is none).
    int nLast = -1;
    if (bOursOrder) {
        for (int o = 0; o < nO; ++o)
            if (oSlot[o] >= 0)
                append(oSlot[o]);
        for (int t = 0; t < nT; ++t) {
            if (tO[t] >= 0) {
                nLast = oSlot[tO[t]];
            } else if (tSlot[t] >= 0) {
                insertAfter(nLast, tSlot[t]);
                nLast = tSlot[t];
            }
        }
    } else {
        for (int t = 0; t < nT; ++t) {
            const int s = tO[t] >= 0 ? oSlot[tO[t]] : tSlot[t];
            if (s >= 0)
                append(s);
        }
        for (int o = 0; o < nO; ++o) {
            if (oT[o] >= 0) {
                nLast = oSlot[o];
            } else if (oSlot[o] >= 0) {
                insertAfter(nLast, oSlot[o]);
                nLast = oSlot[o];
            }
        }
    }

    // Names ours gave that a record of theirs has: the next free one. Only
    // the names ours gave, few as a rule, are gathered; a name ours gave
    // records of its own alike stays, as it may in one process.
    if (Traits::kUniqueNames) {
        std::unordered_map<FoldedText, bool, FoldedTextHash, FoldedTextEqual> ourNames;
        for (int s = nHead; s >= 0; s = slots[static_cast<size_t>(s)].next)
            if (slots[static_cast<size_t>(s)].bOurName)
                ourNames.emplace(Folded(Traits::Name(slots[static_cast<size_t>(s)].value)), false);
        bool bClash = false;
        for (int s = nHead; !ourNames.empty() && s >= 0; s = slots[static_cast<size_t>(s)].next) {
            if (!slots[static_cast<size_t>(s)].bTheirName)
                continue;
            const auto it =
                ourNames.find(Folded(Traits::Name(slots[static_cast<size_t>(s)].value)));
            if (it != ourNames.end())
                bClash = it->second = true;
        }
        std::vector<int> vecRename;
        for (int s = nHead; bClash && s >= 0; s = slots[static_cast<size_t>(s)].next) {
            const Slot& slot = slots[static_cast<size_t>(s)];
            if (slot.bOurName && ourNames.at(Folded(Traits::Name(slot.value))))
                vecRename.push_back(s);
        }
        if (!vecRename.empty()) {
            // Copies: a renamed record's own name changes under the set.
            std::vector<CString> vecName;
            vecName.reserve(slots.size() + vecRename.size());
            for (int s = nHead; s >= 0; s = slots[static_cast<size_t>(s)].next)
                vecName.push_back(Traits::Name(slots[static_cast<size_t>(s)].value));
            std::unordered_set<FoldedText, FoldedTextHash, FoldedTextEqual> taken(vecName.size());
            for (const CString& strName : vecName)
                taken.insert(Folded(strName));
            for (const int s : vecRename) {
                Record& record = slots[static_cast<size_t>(s)].value;
                const CString strOld = Traits::Name(record);
                const CString strStem = NameStem(strOld);
                CString strNew;
                for (int n = 1;; ++n) {
                    strNew.Format(L"%s(%d)", strStem.GetString(), n);
                    if (taken.find(Folded(strNew)) == taken.end())
                        break;
                }
                vecName.push_back(strNew);  // within the room reserved: nothing moves
                taken.insert(Folded(vecName.back()));
                Traits::SetName(record, strNew);
                ZkDiag::MergeNote note = Traits::Note(scope, record, ZkMergeKind::kRenamed);
                note.strOurs = strOld.GetString();
                scope.Note(std::move(note));
            }
        }
    }

    result.clear();
    result.reserve(slots.size());
    std::vector<int> vecAt(slots.size(), -1);
    for (int s = nHead; s >= 0; s = slots[static_cast<size_t>(s)].next) {
        vecAt[static_cast<size_t>(s)] = static_cast<int>(result.size());
        result.push_back(std::move(slots[static_cast<size_t>(s)].value));
    }
    toResult.vecToBase.assign(static_cast<size_t>(nO), -1);
    toResult.vecNested.clear();
    if (Traits::kNested)
        toResult.vecNested.resize(static_cast<size_t>(nO));
    for (int o = 0; o < nO; ++o) {
        if (oSlot[o] < 0)
            continue;
        toResult.vecToBase[static_cast<size_t>(o)] = vecAt[static_cast<size_t>(oSlot[o])];
        if (Traits::kNested)
            toResult.vecNested[static_cast<size_t>(o)] =
                std::move(slots[static_cast<size_t>(oSlot[o])].nested);
    }
}

}  // namespace ZkRecords
