#include "ResourceFiles.h"

#include <algorithm>
#include <utility>

#include "Folder.h"
#include "Hash.h"
#include "Text.h"

namespace zknd {

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names as the system matches them: exactly on POSIX systems, ignoring the
// letter case of ASCII letters on Windows.
char SystemUnit(char c)
{
#if defined(_WIN32)
    return Lower(c);
#else
    return c;
#endif
}

void Prefetch(const void* p)
{
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

bool SystemEqual(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (SystemUnit(a[i]) != SystemUnit(b[i]))
            return false;
    return true;
}

}  // namespace

ResourceFiles ResourceFiles::List(const std::filesystem::path& folder)
{
    ResourceFiles files;
    ListFolder(folder,
               [&files](std::string_view name, bool bRegular) { files.Add(name, bRegular); });
    files.Order();
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

void ResourceFiles::Order()
{
    HashedPositions vecOrder(m_vecEntry.size());
    for (size_t e = 0; e < m_vecEntry.size(); ++e)
        vecOrder[e] = {m_vecEntry[e].nHash, static_cast<uint32_t>(e)};
    OrderByHash(vecOrder);
    // The names follow, so that comparing them walks memory in order too.
    std::vector<Entry> vecEntry;
    vecEntry.reserve(m_vecEntry.size());
    std::string strNames;
    strNames.reserve(m_strNames.size());
    for (const auto& pair : vecOrder) {
        Entry entry = m_vecEntry[pair.second];
        strNames.append(m_strNames, entry.nName, entry.nLength + 4);
        entry.nName = static_cast<uint32_t>(strNames.size() - entry.nLength - 4);
        vecEntry.push_back(entry);
    }
    m_vecEntry.swap(vecEntry);
    m_strNames.swap(strNames);
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
    // GUID texts are short ASCII as a rule: no string is made for them.
    const wchar_t* p = strGuid.GetString();
    const size_t n = static_cast<size_t>(strGuid.GetLength());
    m_strTexts.resize(item.nText + n);
    char* pOut = &m_strTexts[item.nText];
    unsigned long nAll = 0;
    for (size_t i = 0; i < n; ++i) {
        nAll |= static_cast<unsigned long>(p[i]);
        pOut[i] = static_cast<char>(p[i]);
    }
    if (nAll >= 0x80) {
        m_strTexts.resize(item.nText);
        m_strTexts += Utf8(strGuid);
    }
    item.nLength = static_cast<uint32_t>(m_strTexts.size() - item.nText);
    item.nHash = FoldedHash(m_strTexts.data() + item.nText, item.nLength);
    m_vecItem.push_back(item);
}

std::vector<std::array<int, 2>> ResourceFiles::FindAll(const Lookups& lookups)
{
    HashedPositions vecOrder(lookups.Size());
    for (size_t i = 0; i < vecOrder.size(); ++i)
        vecOrder[i] = {lookups.m_vecItem[i].nHash, static_cast<uint32_t>(i)};
    OrderByHash(vecOrder);
    std::vector<std::array<int, 2>> vecFound(vecOrder.size(), std::array<int, 2>{0, 0});
    // The texts lie in the records' order, scattered against the hash order:
    // asked for a few lookups ahead, they are at hand when compared.
    const size_t kAhead = 8;
    auto textOf = [&lookups](const Lookups::Item& item) {
        return lookups.m_strTexts.data() + item.nText;
    };
    for (size_t k = 0; k < kAhead && k < vecOrder.size(); ++k)
        Prefetch(&lookups.m_vecItem[vecOrder[k].second]);
    size_t e = 0;
    for (size_t o = 0; o < vecOrder.size(); ++o) {
        const auto& [nHash, nLookup] = vecOrder[o];
        if (o + kAhead < vecOrder.size()) {
            Prefetch(&lookups.m_vecItem[vecOrder[o + kAhead].second]);
            Prefetch(textOf(lookups.m_vecItem[vecOrder[o + kAhead / 2].second]));
        }
        while (e < m_vecEntry.size() && m_vecEntry[e].nHash < nHash)
            ++e;
        const Lookups::Item& item = lookups.m_vecItem[nLookup];
        for (size_t k = e; k < m_vecEntry.size() && m_vecEntry[k].nHash == nHash; ++k) {
            Entry& entry = m_vecEntry[k];
            if (entry.bExact && entry.nLength == item.nLength &&
                SystemEqual(m_strNames.data() + entry.nName, textOf(item), item.nLength)) {
                vecFound[nLookup][entry.nKind] = entry.bRegular ? 1 : -1;
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
