#pragma once

// The loop over the repeated item sections of a property exchange, in both
// directions: reading makes one record per item, writing one item per record.

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/CXTPPropExchange.h"
#include "platform/internal/exchange/ExchangeAccess.h"

// Whether each item written is then handed to the section's AfterItem.
enum class ItemEnd { kPlain, kAfterItem };

struct KeepAsRead {
    template <typename Record>
    void operator()(Record&) const
    {
    }
};

// Makes a record read earlier ready to be read again: a fresh one.
struct FreshRecord {
    template <typename Record>
    void operator()(Record& record) const
    {
        record = Record();
    }
};

// Reading: reads the items named pszItem, in document order, over the
// records from nFirst on, each first made ready by reset, and appends records
// for the items beyond them; the list then ends with the last item read. Each
// record reads itself with its DoPropExchange and is then passed to adopt.
template <typename Record, typename Reset, typename Adopt = KeepAsRead>
void ReadItems(CXTPPropExchange& section, const wchar_t* pszItem, std::vector<Record>& vecRecord,
               size_t nFirst, Reset reset, Adopt adopt = Adopt())
{
    CXTPPropExchangeEnumerator items = section.GetEnumerator(pszItem);
    POSITION pos = items.GetPosition(0, 1);
    const size_t nEnd = nFirst + ZkExchangeAccess::CountItems(items);
    if (nEnd > vecRecord.size())
        vecRecord.reserve(nEnd);
    size_t n = nFirst;
    while (pos != nullptr) {
        CXTPPropExchange item = items.GetNext(pos);
        if (n < vecRecord.size())
            reset(vecRecord[n]);
        else
            vecRecord.emplace_back();
        Record& record = vecRecord[n++];
        record.DoPropExchange(&item);
        adopt(record);
    }
    vecRecord.erase(vecRecord.begin() + static_cast<std::ptrdiff_t>(n), vecRecord.end());
}

// Reading: appends a record for each item section named pszItem, as
// ReadItems does after the records already there.
// Writing: adds one new item section per record, in order, and lets the
// record write itself into it.
template <typename Record, typename Adopt = KeepAsRead>
void ExchangeItems(CXTPPropExchange& section, const wchar_t* pszItem,
                   std::vector<Record>& vecRecord, ItemEnd end = ItemEnd::kPlain,
                   Adopt adopt = Adopt())
{
    if (section.IsLoading()) {
        ReadItems(section, pszItem, vecRecord, vecRecord.size(), FreshRecord(), adopt);
        return;
    }
    CXTPPropExchangeEnumerator items = section.GetEnumerator(pszItem);
    POSITION pos = items.GetPosition(0, 1);
    for (Record& record : vecRecord) {
        CXTPPropExchange item = items.GetNext(pos);
        record.DoPropExchange(&item);
        if (end == ItemEnd::kAfterItem)
            section.AfterItem(&item);
    }
}
