#pragma once

// What identifies a record in a merge (not exported): keys that compare
// across the lists merged, and texts compared as the library's lookups
// compare them.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/CString.h"
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

}  // namespace ZkRecords
