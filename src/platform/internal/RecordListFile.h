#pragma once

// Reading and writing a library file made of one root section holding a
// repeated row section per record. Both library managers keep their records
// this way; each record exchanges its own properties.

#include <memory>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/CXTPPropExchange.h"

// Appends the file's records to vecRecord; false when the file cannot be read
// or lacks the root section (vecRecord then holds what it held).
template <typename Record>
bool ReadRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord)
{
    CXTPPropExchange px(1, nullptr, pszRoot);
    if (!px.LoadFromFile(strFile))
        return false;
    if (!px.IsRootSectionPresent())
        return false;
    px.SetCompactMode(1);

    std::unique_ptr<CXTPPropExchangeEnumerator> pEnum = px.GetEnumerator(pszRow);
    POSITION pos = pEnum->GetPosition(0, 1);
    while (pos != nullptr) {
        std::unique_ptr<CXTPPropExchange> pRow = pEnum->GetNext(pos);
        Record record;
        record.DoPropExchange(pRow.get());
        vecRecord.push_back(std::move(record));
    }
    return true;
}

// Writes a new document holding the records in order over the file; true
// when it was written.
template <typename Record>
bool WriteRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                     std::vector<Record>& vecRecord)
{
    CXTPPropExchange px(0, nullptr, pszRoot);
    px.SetCompactMode(1);
    px.EmptySection();

    std::unique_ptr<CXTPPropExchangeEnumerator> pEnum = px.GetEnumerator(pszRow);
    POSITION pos = pEnum->GetPosition(0, 1);
    for (Record& record : vecRecord) {
        std::unique_ptr<CXTPPropExchange> pRow = pEnum->GetNext(pos);
        record.DoPropExchange(pRow.get());
    }
    return px.SaveToFile(strFile, 1) == 0;
}
