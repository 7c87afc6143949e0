#pragma once

// The loop over the repeated item sections of a property exchange, in both
// directions: reading makes one record per item, writing one item per record.

#include <utility>
#include <vector>

#include "platform/CXTPPropExchange.h"
#include "platform/internal/ExchangeAccess.h"

// Whether each item written is then handed to the section's AfterItem.
enum class ItemEnd { kPlain, kAfterItem };

struct KeepAsRead {
    template <typename Record>
    void operator()(Record&) const
    {
    }
};

// Reading: appends a record for each item section named pszItem, in document
// order, read by the record's DoPropExchange and then passed to adopt.
// Writing: adds one new item section per record, in order, and lets the
// record write itself into it.
template <typename Record, typename Adopt = KeepAsRead>
void ExchangeItems(CXTPPropExchange& section, const wchar_t* pszItem,
                   std::vector<Record>& vecRecord, ItemEnd end = ItemEnd::kPlain,
                   Adopt adopt = Adopt())
{
    CXTPPropExchangeEnumerator items = section.GetEnumerator(pszItem);
    POSITION pos = items.GetPosition(0, 1);
    if (section.IsLoading()) {
        vecRecord.reserve(vecRecord.size() + ZkExchangeAccess::CountItems(items));
        while (pos != nullptr) {
            CXTPPropExchange item = items.GetNext(pos);
            vecRecord.emplace_back();
            Record& record = vecRecord.back();
            record.DoPropExchange(&item);
            adopt(record);
        }
        return;
    }
    for (Record& record : vecRecord) {
        CXTPPropExchange item = items.GetNext(pos);
        record.DoPropExchange(&item);
        if (end == ItemEnd::kAfterItem)
            section.AfterItem(&item);
    }
}
