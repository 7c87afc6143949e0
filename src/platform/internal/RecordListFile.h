#pragma once

// Reading and writing a library file made of one root section holding a
// repeated row section per record. Both library managers keep their records
// this way; each record exchanges its own properties.

#include <vector>

#include "platform/CString.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/internal/ExchangeItems.h"
#include "platform/internal/FileSystem.h"
#include "platform/internal/ReportSink.h"

// Replaces vecRecord with the file's records. False when the file is missing
// (nothing changes) or cannot be read or lacks the root section (vecRecord is
// left empty). bDataChanged is set as soon as the file is found. Failures are
// told to the running report scope, if any.
template <typename Record>
bool LoadRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord, bool& bDataChanged)
{
    if (!ZkIsFileExist(strFile)) {
        ZkFileSystem::FileError why = ZkFileSystem::ProbeFile(strFile);
        if (why.status == ZkFileSystem::FileStatus::kOk)
            why.status = ZkFileSystem::FileStatus::kMissing;  // gone since the test
        ZkReportSink::FileFailed(why, strFile);
        return false;
    }
    vecRecord.clear();
    // Set before reading: a file that is there but unreadable still counts.
    bDataChanged = true;

    // The exchange explains its failures; these outcomes stand in when it
    // could not.
    CXTPPropExchange px(1, nullptr, pszRoot);
    if (!px.LoadFromFile(strFile)) {
        ZkReportSink::Fail(ZkOutcome::kMalformed);
        return false;
    }
    if (!px.IsRootSectionPresent()) {
        ZkReportSink::Fail(ZkOutcome::kWrongRoot);
        return false;
    }
    px.SetCompactMode(1);
    ExchangeItems(px, pszRow, vecRecord);
    return true;
}

// Writes a new document holding the records in order over the file; true
// when it was written.
template <typename Record>
bool SaveRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord)
{
    CXTPPropExchange px(0, nullptr, pszRoot);
    px.SetCompactMode(1);
    px.EmptySection();
    ExchangeItems(px, pszRow, vecRecord);
    return px.SaveToFile(strFile, 1) == 0;
}
