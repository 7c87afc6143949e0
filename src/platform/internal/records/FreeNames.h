#pragma once

// Names for a merge's records (not exported): a record whose name ours gave
// it and a record of theirs already has takes the next free name, "stem(n)".

#include <cstddef>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/internal/records/RecordKeys.h"
#include "platform/internal/report/Diagnostics.h"

namespace ZkRecords {

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

// Renames, in the chain of slots from nHead (each with value, bOurName,
// bTheirName and next), each record whose name ours gave and a record of
// theirs has, noting it. Only the names ours gave, few as a rule, are
// gathered; a name ours gave records of its own alike stays, as it may in
// one process.
template <typename Traits, typename Slot, typename Scope>
void GiveFreeNames(const Scope& scope, std::vector<Slot>& slots, int nHead)
{
    auto at = [&slots](int s) -> Slot& { return slots[static_cast<size_t>(s)]; };
    std::unordered_map<FoldedText, bool, FoldedTextHash, FoldedTextEqual> ourNames;
    for (int s = nHead; s >= 0; s = at(s).next)
        if (at(s).bOurName)
            ourNames.emplace(Folded(Traits::Name(at(s).value)), false);
    bool bClash = false;
    for (int s = nHead; !ourNames.empty() && s >= 0; s = at(s).next) {
        if (!at(s).bTheirName)
            continue;
        const auto it = ourNames.find(Folded(Traits::Name(at(s).value)));
        if (it != ourNames.end())
            bClash = it->second = true;
    }
    std::vector<int> vecRename;
    for (int s = nHead; bClash && s >= 0; s = at(s).next)
        if (at(s).bOurName && ourNames.at(Folded(Traits::Name(at(s).value))))
            vecRename.push_back(s);
    if (vecRename.empty())
        return;
    // Copies: a renamed record's own name changes under the set.
    std::vector<CString> vecName;
    vecName.reserve(slots.size() + vecRename.size());
    for (int s = nHead; s >= 0; s = at(s).next)
        vecName.push_back(Traits::Name(at(s).value));
    std::unordered_set<FoldedText, FoldedTextHash, FoldedTextEqual> taken(vecName.size());
    for (const CString& strName : vecName)
        taken.insert(Folded(strName));
    for (const int s : vecRename) {
        auto& record = at(s).value;
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

}  // namespace ZkRecords
