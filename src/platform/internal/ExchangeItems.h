#pragma once

// The loop over the repeated item sections of a property exchange, in both
// directions: reading makes one record per item, writing one item per record.

#include <memory>
#include <utility>
#include <vector>

#include "platform/CXTPPropExchange.h"

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
    std::unique_ptr<CXTPPropExchangeEnumerator> pEnum = section.GetEnumerator(pszItem);
    POSITION pos = pEnum->GetPosition(0, 1);
    if (section.IsLoading()) {
        while (pos != nullptr) {
            std::unique_ptr<CXTPPropExchange> pItem = pEnum->GetNext(pos);
            Record record;
            record.DoPropExchange(pItem.get());
            adopt(record);
            vecRecord.push_back(std::move(record));
        }
        return;
    }
    for (Record& record : vecRecord) {
        std::unique_ptr<CXTPPropExchange> pItem = pEnum->GetNext(pos);
        record.DoPropExchange(pItem.get());
        if (end == ItemEnd::kAfterItem)
            section.AfterItem(pItem.get());
    }
}
