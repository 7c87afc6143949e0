#include "ResourceFiles.h"

#include <algorithm>
#include <utility>

#include "Display.h"
#include "Folder.h"
#include "Hash.h"
#include "platform/ZkCompiler.h"

namespace zknd {

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

ResourceFiles ResourceFiles::List(const std::filesystem::path& folder)
{
    ResourceFiles files;
    ListFolder(folder,
               [&files](std::string_view name, bool bRegular) { files.Add(name, bRegular); });
    return files;
}

void ResourceFiles::Add(std::string_view name, bool bRegular)
{
    if (name.size() < 5)
        return;
    const char* pExtension = name.data() + name.size() - 4;
    const std::string_view kExtensions[] = {".dwg", ".sld"};
    for (uint8_t nKind = 0; nKind < 2; ++nKind) {
        const std::string_view& ext = kExtensions[nKind];
        size_t i = 0;
        while (i < 4 && Lower(pExtension[i]) == ext[i])
            ++i;
        if (i < 4)
            continue;
        Entry entry;
        entry.nLength = static_cast<uint32_t>(name.size() - 4);
        entry.nHash = FoldedHash(name.data(), entry.nLength);
        entry.nName = static_cast<uint32_t>(m_strNames.size());
        entry.nKind = nKind;
        entry.bExact = SystemEqual(pExtension, ext.data(), 4);
        entry.bRegular = bRegular;
        entry.bNamed = false;
        m_strNames.append(name);
        m_vecEntry.push_back(entry);
        return;
    }
}

void ResourceFiles::Lookups::Reserve(size_t n)
{
    m_vecItem.reserve(n);
    m_strTexts.reserve(n * 36);
}

void ResourceFiles::Lookups::Add(const CString& strGuid)
{
    Item item;
    item.nText = static_cast<uint32_t>(m_strTexts.size());
    // Appended in place: no string is made for each.
    ZkUtf::AppendUtf8(m_strTexts, strGuid.GetString(), static_cast<size_t>(strGuid.GetLength()));
    item.nLength = static_cast<uint32_t>(m_strTexts.size() - item.nText);
    item.nHash = FoldedHash(m_strTexts.data() + item.nText, item.nLength);
    m_vecItem.push_back(item);
    m_vecSlot.clear();  // the table, if made, no longer holds them all
}

void ResourceFiles::Lookups::MakeTable()
{
    int nBits = 4;
    while ((size_t{1} << nBits) < 2 * m_vecItem.size())
        ++nBits;
    m_nBits = nBits;
    const size_t nMask = (size_t{1} << nBits) - 1;
    m_vecSlot.assign(nMask + 1, Slot{Item{0, 0, 0}, kEmpty});
    for (size_t i = 0; i < m_vecItem.size(); ++i) {
        size_t s = SlotOf(m_vecItem[i].nHash);
        while (m_vecSlot[s].nLookup != kEmpty)
            s = (s + 1) & nMask;
        m_vecSlot[s] = Slot{m_vecItem[i], static_cast<uint32_t>(i)};
    }
}

std::vector<std::array<int, 2>> ResourceFiles::FindAll(Lookups& lookups)
{
    // The lookups in an open-addressed table, the entries walked against it
    // in the order listed: nothing of the listing is sorted or moved.
    if (lookups.m_vecSlot.empty())
        lookups.MakeTable();
    const std::vector<Lookups::Slot>& vecSlot = lookups.m_vecSlot;
    const size_t nMask = vecSlot.size() - 1;
    std::vector<std::array<int, 2>> vecFound(lookups.Size(), std::array<int, 2>{0, 0});
    // Each entry leads to two places scattered over megabytes, one after the
    // other: its slot, then the lookup's text. Asked for ahead, in that
    // order, they are at hand when compared.
    const char* pTexts = lookups.m_strTexts.data();
    const size_t kAhead = 32;
    for (size_t e = 0; e < m_vecEntry.size(); ++e) {
        if (e + 2 * kAhead < m_vecEntry.size())
            ZkCompiler::Prefetch(&vecSlot[lookups.SlotOf(m_vecEntry[e + 2 * kAhead].nHash)]);
        if (e + kAhead < m_vecEntry.size())
            ZkCompiler::Prefetch(pTexts +
                                 vecSlot[lookups.SlotOf(m_vecEntry[e + kAhead].nHash)].item.nText);
        Entry& entry = m_vecEntry[e];
        if (!entry.bExact)
            continue;
        for (size_t s = lookups.SlotOf(entry.nHash); vecSlot[s].nLookup != Lookups::kEmpty;
             s = (s + 1) & nMask) {
            const Lookups::Slot& slot = vecSlot[s];
            if (slot.item.nHash == entry.nHash && slot.item.nLength == entry.nLength &&
                SystemEqual(m_strNames.data() + entry.nName, pTexts + slot.item.nText,
                            entry.nLength)) {
                vecFound[slot.nLookup][entry.nKind] = entry.bRegular ? 1 : -1;
                entry.bNamed = true;
            }
        }
    }
    return vecFound;
}

std::vector<std::string> ResourceFiles::Unnamed() const
{
    std::vector<std::string> vecName;
    for (const Entry& entry : m_vecEntry)
        if (!entry.bNamed && entry.bRegular)
            vecName.emplace_back(m_strNames, entry.nName, entry.nLength + 4);
    std::sort(vecName.begin(), vecName.end());
    return vecName;
}

}  // namespace zknd
