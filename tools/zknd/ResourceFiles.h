#pragma once

// The drawing and slide files of a resource folder, looked up by node
// details' GUID texts as the system finds them (letter case ignored on
// Windows), and those that no lookup named. The lookups go into a hash table
// and the entries are walked against it as they were listed: a folder of
// hundreds of thousands of files is neither sorted nor copied.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CString.h"

namespace zknd {

class ResourceFiles {
public:
    // The folder's ".dwg" and ".sld" files (extension in any letter case),
    // ordered; none when it cannot be read.
    static ResourceFiles List(const std::filesystem::path& folder);

    void Add(std::string_view name, bool bRegular);

    // GUID texts to look up, as UTF-8 one after another.
    class Lookups {
    public:
        // Room for n texts of the canonical length.
        void Reserve(size_t n);
        void Add(const CString& strGuid);
        size_t Size() const { return m_vecItem.size(); }
        // FoldedHash of the i-th text's UTF-8 (Hash.h).
        uint64_t Hash(size_t i) const { return m_vecItem[i].nHash; }
        // Puts the texts added so far into the hash table the entries are
        // walked against, for a caller with time to spare while the folder
        // is listed; FindAll does it otherwise.
        void MakeTable();

    private:
        friend class ResourceFiles;
        struct Item {
            uint64_t nHash;
            uint32_t nText;
            uint32_t nLength;
        };
        struct Slot {
            Item item;
            uint32_t nLookup;  // kEmpty for a free slot
        };
        static constexpr uint32_t kEmpty = UINT32_MAX;
        size_t SlotOf(uint64_t nHash) const { return static_cast<size_t>(nHash >> (64 - m_nBits)); }

        std::vector<Item> m_vecItem;
        std::string m_strTexts;
        std::vector<Slot> m_vecSlot;  // open addressing; empty until MakeTable
        int m_nBits = 0;
    };
    // For each lookup, what stands at "GUID.dwg" and at "GUID.sld": 1 a
    // regular file, 0 nothing, -1 a folder or anything else. The entries found
    // count as named.
    std::vector<std::array<int, 2>> FindAll(Lookups& lookups);
    // Drawing and slide files that no lookup named, sorted.
    std::vector<std::string> Unnamed() const;
    size_t Size() const { return m_vecEntry.size(); }

private:
    struct Entry {
        uint64_t nHash;    // FoldedHash of the name without its extension
        uint32_t nName;    // where the name starts in m_strNames
        uint32_t nLength;  // of the name without its extension
        uint8_t nKind;     // 0 ".dwg", 1 ".sld"
        bool bExact;       // the extension as the library spells it, as the system compares
        bool bRegular;
        bool bNamed;
    };

    std::string m_strNames;  // the entries' names, one after another
    std::vector<Entry> m_vecEntry;
};

}  // namespace zknd
