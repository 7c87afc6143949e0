#pragma once

// Reading and writing a library file made of one root section holding a
// repeated row section per record. Both library managers keep their records
// this way; each record exchanges its own properties. What each read or write
// found goes to the capture handed in, which the caller has started afresh.

#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/internal/Diagnostics.h"
#include "platform/internal/ExchangeAccess.h"
#include "platform/internal/ExchangeItems.h"
#include "platform/internal/FileSystem.h"

// Replaces vecRecord with the file's records. False when the file is missing
// (nothing changes) or cannot be read or lacks the root section (vecRecord is
// left empty). bDataChanged is set as soon as the file is found. The records
// already in the list are read over, each first made ready by reset, which
// must leave it as a fresh record would be; a reset that keeps the record's
// storage spares a reload most of its allocations.
template <typename Record, typename Reset = FreshRecord>
bool LoadRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord, bool& bDataChanged, ZkDiag::Capture& capture,
                    Reset reset = Reset())
{
    if (!ZkIsFileExist(strFile)) {
        // Only to learn why: what is not a regular file is not read.
        ZkFileSystem::Bytes unused;
        ZkFileSystem::FileError error{ZkFileSystem::FileStatus::kMissing, 0};
        ZkFileSystem::ReadWholeFile(strFile, unused, &error);
        capture.FailFile(error);
        return false;
    }
    // Set before reading: a file that is there but unreadable still counts.
    bDataChanged = true;

    CXTPPropExchange px(1, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, &capture);
    if (!px.LoadFromFile(strFile) || !px.IsRootSectionPresent()) {
        vecRecord.clear();
        return false;
    }
    px.SetCompactMode(1);
    ReadItems(px, pszRow, vecRecord, 0, reset);
    return true;
}

// Writes a new document holding the records in order over the file; true
// when it was written.
template <typename Record>
bool SaveRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord, ZkDiag::Capture& capture)
{
    CXTPPropExchange px(0, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, &capture);
    ZkExchangeAccess::StreamTo(px, strFile);
    px.SetCompactMode(1);
    px.EmptySection();
    ExchangeItems(px, pszRow, vecRecord);
    return px.SaveToFile(strFile, 1) == 0;
}
