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
#include <string>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/internal/records/FreeNames.h"
#include "platform/internal/records/RecordKeys.h"
#include "platform/internal/report/Diagnostics.h"

namespace ZkRecords {

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

// One merge, step by step. The letters: o a record of ours, p of ourBase,
// b of base, t of theirs; nO is the size of ours, oP[o] the record of
// ourBase that ours' record o is (-1: none), and so on for each pair.
template <typename Traits>
class ListMerge {
public:
    using Record = typename Traits::Record;

    ListMerge(const Scope& scope, const std::vector<Record>* pOurBase, const Origin* pOrigin,
              const std::vector<Record>& base, const std::vector<Record>& ours,
              const std::vector<Record>& theirs)
        : m_scope(scope),
          m_pOrigin(pOrigin),
          m_ourBase(pOurBase != nullptr ? *pOurBase : base),
          m_base(base),
          m_ours(ours),
          m_theirs(theirs),
          nP(static_cast<int>(m_ourBase.size())),
          nB(static_cast<int>(base.size())),
          nO(static_cast<int>(ours.size())),
          nT(static_cast<int>(theirs.size())),
          oP(nO, -1),
          pO(nP, -1),
          pB(nP, -1),
          bP(nB, -1),
          bT(nB, -1),
          tB(nT, -1),
          oT(nO, -1),
          tO(nT, -1),
          oSlot(nO, -1),
          tSlot(nT, -1)
    {
        Link(pOurBase != nullptr);
    }

    void Run(std::vector<Record>& result, Origin& toResult)
    {
        TakeOurs();
        TakeTheirs();
        Order();
        if (Traits::kUniqueNames)
            GiveFreeNames<Traits>(m_scope, m_slots, m_nHead);
        Write(result, toResult);
    }

private:
    // A record written, from ours, theirs or both.
    struct Slot {
        Record value;
        bool bOurName = false;    // its name is one ours gave it
        bool bTheirName = false;  // its name is one theirs gave it, or one ours never knew
        Origin nested;
        int next = -1;
    };

    static bool SameName(const Record& a, const Record& b)
    {
        return Traits::Name(a) == Traits::Name(b);
    }
    Slot& At(int s) { return m_slots[static_cast<size_t>(s)]; }
    int Add(Slot&& slot)
    {
        m_slots.push_back(std::move(slot));
        return static_cast<int>(m_slots.size()) - 1;
    }

    // The links: ours to ourBase by key (our side's history), ourBase to base
    // by the origin, base to theirs by key (the file's history); keys the
    // same way for all four lists.
    void Link(bool bOurBase)
    {
        std::vector<std::vector<Key>> keys;
        if (bOurBase) {
            Traits::Identify({&m_ourBase, &m_base, &m_ours, &m_theirs}, keys);
        } else {
            Traits::Identify({&m_base, &m_ours, &m_theirs}, keys);
            keys.insert(keys.begin(), keys[0]);
        }
        const KeyIndex inOurBase(keys[0]);
        const KeyIndex inTheirs(keys[3]);
        for (int o = 0; o < nO; ++o) {
            const int p = inOurBase.Find(keys[2][o]);
            if (p >= 0 && pO[p] < 0)
                oP[o] = p, pO[p] = o;
        }
        for (int p = 0; p < nP; ++p) {
            int b = p;
            if (m_pOrigin != nullptr)
                b = static_cast<size_t>(p) < m_pOrigin->vecToBase.size() ? m_pOrigin->vecToBase[p]
                                                                         : -1;
            if (b >= 0 && b < nB && bP[b] < 0)
                pB[p] = b, bP[b] = p;
        }
        for (int b = 0; b < nB; ++b) {
            const int t = inTheirs.Find(keys[1][b]);
            if (t >= 0 && tB[t] < 0)
                bT[b] = t, tB[t] = b;
        }
        for (int o = 0; o < nO; ++o) {
            const int p = oP[o];
            const int t = p >= 0 && pB[p] >= 0 ? bT[pB[p]] : -1;
            if (t >= 0)
                oT[o] = t, tO[t] = o;
        }
        // A record ours added is theirs where theirs has one of its key that
        // our side never knew: both added it.
        for (int o = 0; o < nO; ++o) {
            if (oP[o] >= 0)
                continue;
            const int t = inTheirs.Find(keys[2][o]);
            if (t >= 0 && tO[t] < 0 && (tB[t] < 0 || bP[tB[t]] < 0))
                oT[o] = t, tO[t] = o;
        }
    }

    // Each record of ours: merged with theirs, dropped (theirs deleted it and
    // ours did not change it) or kept as ours has it.
    void TakeOurs()
    {
        m_slots.reserve(static_cast<size_t>(std::max(nO, nT)) + 16);
        for (int o = 0; o < nO; ++o) {
            const int p = oP[o];
            const int t = oT[o];
            if (t >= 0) {
                const int b = p >= 0 ? pB[p] : tB[t];
                const Origin* pNested = nullptr;
                if (Traits::kNested && p >= 0 && m_pOrigin != nullptr &&
                    static_cast<size_t>(p) < m_pOrigin->vecNested.size())
                    pNested = &m_pOrigin->vecNested[p];
                Slot slot{m_theirs[t], false, false, Origin(), -1};
                Traits::Merge(m_scope, slot.value, p >= 0 ? &m_ourBase[p] : nullptr, pNested,
                              b >= 0 ? &m_base[b] : nullptr, m_ours[o], m_theirs[t], slot.nested);
                slot.bOurName =
                    p >= 0 ? !SameName(m_ours[o], m_ourBase[p]) : !SameName(m_ours[o], m_theirs[t]);
                slot.bTheirName =
                    !slot.bOurName && (p < 0 || b < 0 || !SameName(m_theirs[t], m_base[b]));
                oSlot[o] = Add(std::move(slot));
            } else if (p >= 0 && Traits::Same(m_ours[o], m_ourBase[p])) {
                // Theirs deleted it and ours did not change it.
                if (pB[p] >= 0)
                    m_scope.Note(Traits::Note(m_scope, m_base[pB[p]], ZkMergeKind::kDeleted));
            } else {
                // Added by ours, or changed by ours and deleted by theirs.
                Slot slot{m_ours[o], true, false, Origin(), -1};
                Traits::KeptAsIs(m_ours[o], slot.nested);
                if (p >= 0)
                    m_scope.Note(Traits::Note(m_scope, m_ours[o], ZkMergeKind::kKeptChangedHere));
                oSlot[o] = Add(std::move(slot));
            }
        }
    }

    // The records of theirs ours has no record for, and notes of those
    // deleted on both sides.
    void TakeTheirs()
    {
        for (int t = 0; t < nT; ++t) {
            if (tO[t] >= 0)
                continue;
            const int b = tB[t];
            const int p = b >= 0 ? bP[b] : -1;
            if (p >= 0 && Traits::Same(m_theirs[t], m_base[b]))
                continue;  // ours deleted it; theirs did not change it
            if (p >= 0)
                m_scope.Note(Traits::Note(m_scope, m_theirs[t], ZkMergeKind::kKeptChangedThere));
            else if (b >= 0)
                Traits::NoteChanges(m_scope, m_base[b], m_theirs[t]);
            else
                m_scope.Note(Traits::Note(m_scope, m_theirs[t], ZkMergeKind::kAdded));
            tSlot[t] = Add(
                Slot{m_theirs[t], false, p < 0 || !SameName(m_theirs[t], m_base[b]), Origin(), -1});
        }
        // Records theirs deleted that our side never had, or had too and
        // deleted.
        for (int b = 0; b < nB; ++b)
            if (bT[b] < 0 && bP[b] < 0)
                m_scope.Note(Traits::Note(m_scope, m_base[b], ZkMergeKind::kDeleted));
    }

    // A side changed the order when the records it kept from its base stand
    // in another order.
    static bool Reordered(const std::vector<int>& toBase)
    {
        int nLast = -1;
        for (const int i : toBase) {
            if (i < 0)
                continue;
            if (i < nLast)
                return true;
            nLast = i;
        }
        return false;
    }

    void Append(int s)
    {
        (m_nTail < 0 ? m_nHead : At(m_nTail).next) = s;
        m_nTail = s;
    }

    void InsertAfter(int nAnchor, int s)
    {
        int& next = nAnchor < 0 ? m_nHead : At(nAnchor).next;
        At(s).next = next;
        next = s;
        if (m_nTail == nAnchor)
            m_nTail = s;
    }

    // The winning side's records in its order; then each of the other side's
    // own records right after the nearest record before it there that is
    // written (first, when there is none).
    void Order()
    {
        const bool bOursOrder = Reordered(oP);
        if (bOursOrder && Reordered(tB)) {
            ZkDiag::MergeNote note;
            note.kind = ZkMergeKind::kOrder;
            note.nFitType = m_scope.nFitType;
            note.strList = Traits::ListName(m_scope);
            m_scope.Note(std::move(note));
        }
        // A record of both sides has the slot merged from ours.
        auto ours = [this](int o) { return oSlot[o]; };
        auto theirs = [this](int t) { return tO[t] >= 0 ? oSlot[tO[t]] : tSlot[t]; };
        if (bOursOrder)
            Lay(nO, ours, nT, theirs, [this](int t) { return tO[t] >= 0; });
        else
            Lay(nT, theirs, nO, ours, [this](int o) { return oT[o] >= 0; });
    }

    // The leading side's slots in its order; then each of the other side's
    // own (not shared) slots after the nearest slot before it there.
    template <typename LeadSlot, typename OtherSlot, typename Shared>
    void Lay(int nLead, LeadSlot leadSlot, int nOther, OtherSlot otherSlot, Shared shared)
    {
        for (int i = 0; i < nLead; ++i)
            if (leadSlot(i) >= 0)
                Append(leadSlot(i));
        int nLast = -1;
        for (int i = 0; i < nOther; ++i) {
            const int s = otherSlot(i);
            if (shared(i)) {
                nLast = s;
            } else if (s >= 0) {
                InsertAfter(nLast, s);
                nLast = s;
            }
        }
    }

    void Write(std::vector<Record>& result, Origin& toResult)
    {
        result.clear();
        result.reserve(m_slots.size());
        std::vector<int> vecAt(m_slots.size(), -1);
        for (int s = m_nHead; s >= 0; s = At(s).next) {
            vecAt[static_cast<size_t>(s)] = static_cast<int>(result.size());
            result.push_back(std::move(At(s).value));
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
                toResult.vecNested[static_cast<size_t>(o)] = std::move(At(oSlot[o]).nested);
        }
    }

    const Scope& m_scope;
    const Origin* m_pOrigin;
    const std::vector<Record>& m_ourBase;
    const std::vector<Record>& m_base;
    const std::vector<Record>& m_ours;
    const std::vector<Record>& m_theirs;
    const int nP, nB, nO, nT;
    std::vector<int> oP, pO, pB, bP, bT, tB, oT, tO;
    std::vector<Slot> m_slots;
    std::vector<int> oSlot, tSlot;  // the slot of each record of ours, of theirs; -1: none
    int m_nHead = -1;               // the chain of slots written, in order
    int m_nTail = -1;
};

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
    ListMerge<Traits>(scope, pOurBase, pOrigin, base, ours, theirs).Run(result, toResult);
}

}  // namespace ZkRecords
