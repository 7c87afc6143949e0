#pragma once

// Reading and writing a library file made of one root section holding a
// repeated row section per record. Both library managers keep their records
// this way; each record exchanges its own properties. What each read or write
// found goes to the capture handed in, which the caller has started afresh.
//
// A manager remembers what its file held when it last loaded or saved it (its
// base, ZkFileBase), so that a Save can tell whether another process saved
// the library since: it then reads the file and merges (RecordMerge.h)
// instead of writing its list over the other's work. docs/saving.md says
// what a merge keeps.

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/internal/exchange/ExchangeAccess.h"
#include "platform/internal/files/FileLock.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/records/ExchangeItems.h"
#include "platform/internal/records/RecordMerge.h"
#include "platform/internal/report/Diagnostics.h"

// What a manager knows of its file for the next Save. A manager without one
// has never loaded its file, or its last Load failed: its Save writes the
// list over whatever is there. Immutable once made; copies of a manager
// share it until one of them loads or saves.
template <typename Record>
struct ZkFileBase {
    // False when the last Load found no file: the base is an empty library.
    bool bFile = false;
    // The file's bytes as last loaded or written, to compare with the file
    // under the lock and, only when they differ, to read as the base.
    ZkFileSystem::Bytes content;
    // After a Save that merged, the file holds more than the list: the list
    // as it was then, and where each of its records went in the file. The
    // next Save applies only what the list changed since.
    bool bSnapshot = false;
    std::vector<Record> snapshot;
    ZkRecords::Origin origin;
    // The storage of the content before, which the next Load or Save copies
    // the file into while no copy of the manager shares the base: memory the
    // process has written before, where a new block would be faulted in page
    // by page.
    ZkFileSystem::Bytes spare;
};

template <typename Record>
using ZkFileBasePtr = std::shared_ptr<ZkFileBase<Record>>;

// Replaces vecRecord with the file's records. False when the file is missing
// (nothing changes) or cannot be read or lacks the root section (vecRecord is
// left empty). bDataChanged is set as soon as the file is found. The records
// already in the list are read over, each first made ready by reset, which
// must leave it as a fresh record would be; a reset that keeps the record's
// storage spares a reload most of its allocations. pBase becomes what was
// read: the file's bytes, or none when the file could not be read. A missing
// file changes nothing, the base included: the list is still the one the
// base was read for. Only a manager without a base gets one, an empty
// library.
template <typename Record, typename Reset = FreshRecord>
bool LoadRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord, bool& bDataChanged, ZkDiag::Capture& capture,
                    ZkFileBasePtr<Record>& pBase, Reset reset = Reset())
{
    using ZkFileSystem::FileStatus;
    // Read even when the test says there is no file, only to learn why: what
    // is not a regular file is not opened.
    const bool bFound = ZkIsFileExist(strFile);
    ZkFileSystem::Bytes raw;
    ZkFileSystem::FileError error{FileStatus::kMissing, 0};
    const bool bRead = ZkFileSystem::ReadWholeFile(strFile, raw, &error);
    // A file that went between the test and the read is not there either, as
    // one may while another process's save replaces it in more than one step
    // (Windows).
    if (!bFound || (!bRead && error.status == FileStatus::kMissing)) {
        capture.FailFile(error);
        if (error.status != FileStatus::kMissing)
            pBase.reset();  // a failed Load: the list goes over whatever is there
        else if (pBase == nullptr)
            pBase = std::make_shared<ZkFileBase<Record>>();
        return false;
    }
    // Set before looking at what was read: a file that is there but
    // unreadable still counts.
    bDataChanged = true;
    if (!bRead) {
        capture.FailFile(error);
        vecRecord.clear();
        pBase.reset();
        return false;
    }

    // The bytes are kept before the reader parses them in place. A base no
    // copy of the manager shares keeps its storage.
    ZkFileBasePtr<Record> pNew =
        pBase != nullptr && pBase.use_count() == 1 ? std::move(pBase) : nullptr;
    pBase.reset();
    if (pNew == nullptr)
        pNew = std::make_shared<ZkFileBase<Record>>();
    pNew->bFile = true;
    // Into the storage a Save left spare; the old content's becomes spare.
    pNew->content.swap(pNew->spare);
    pNew->content.assign(raw.begin(), raw.end());
    pNew->bSnapshot = false;
    pNew->snapshot.clear();
    pNew->origin = ZkRecords::Origin();

    // The kept bytes outlive the exchange, which places its warnings in them.
    CXTPPropExchange px(1, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, &capture);
    if (!ZkExchangeAccess::LoadFromBytes(px, std::move(raw), &pNew->content) ||
        !px.IsRootSectionPresent()) {
        vecRecord.clear();
        return false;
    }
    px.SetCompactMode(1);
    ReadItems(px, pszRow, vecRecord, 0, reset);
    pBase = std::move(pNew);
    return true;
}

// After a Load that found no file, the list emptied: its base is an empty
// library (none stays none). A base no copy shares keeps its storage.
template <typename Record>
void ForgetFileBase(ZkFileBasePtr<Record>& pBase)
{
    if (pBase == nullptr)
        return;
    if (pBase.use_count() > 1) {
        pBase = std::make_shared<ZkFileBase<Record>>();
        return;
    }
    pBase->bFile = false;
    pBase->content.clear();
    pBase->bSnapshot = false;
    pBase->snapshot.clear();
    pBase->origin = ZkRecords::Origin();
}

namespace ZkRecordListDetail {

// The records of a file's bytes (taken over); false when they hold no
// library. pCapture, when given, says why, without line and column: the
// bytes are parsed in place and not kept.
template <typename Record>
bool Parse(ZkFileSystem::Bytes&& bytes, const wchar_t* pszRoot, const wchar_t* pszRow,
           std::vector<Record>& out, ZkDiag::Capture* pCapture)
{
    CXTPPropExchange px(1, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, pCapture);
    if (!ZkExchangeAccess::LoadFromBytes(px, std::move(bytes), nullptr) ||
        !px.IsRootSectionPresent())
        return false;
    px.SetCompactMode(1);
    ReadItems(px, pszRow, out, 0, FreshRecord());
    return true;
}

// A Save that cannot read what another process saved fails: false.
inline bool CannotReadTheirs(ZkDiag::Capture& capture, const ZkFileSystem::FileError& error)
{
    capture.FailFile(error);
    capture.strReason =
        L"the file cannot be read to keep what another process saved: " + capture.strReason;
    return false;
}

// Writes a new document holding the records in order to the file; true when
// it was written. The bytes written are appended to written.
template <typename Record>
bool Write(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
           std::vector<Record>& vecRecord, bool bNoReplace, ZkFileSystem::Bytes& written,
           ZkDiag::Capture& capture)
{
    ZkFileSystem::WriteOptions options;
    options.bNoReplace = bNoReplace;
    options.pCopy = &written;
    CXTPPropExchange px(0, nullptr, pszRoot);
    ZkExchangeAccess::SetCapture(px, &capture);
    ZkExchangeAccess::StreamTo(px, strFile, options);
    px.SetCompactMode(1);
    px.EmptySection();
    ExchangeItems(px, pszRow, vecRecord);
    return px.SaveToFile(strFile, 1) == 0;
}

template <typename Record, typename Traits>
bool SameList(const std::vector<Record>& a, const std::vector<Record>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!Traits::Same(a[i], b[i]))
            return false;
    return true;
}

// Under the lock of a file that is there and no longer what old, the base,
// says (or is, bSame, while old holds a snapshot): the list merged with the
// file goes to merged, and origin says where the list's records went. False
// when the Save must fail; the capture says why.
template <typename Traits, typename Record>
bool MergeWithFile(ZkFileSystem::FileLock& lock, const ZkFileBase<Record>& old, bool bSame,
                   const wchar_t* pszRoot, const wchar_t* pszRow,
                   const std::vector<Record>& vecRecord, ZkDiag::Capture& capture,
                   std::vector<Record>& merged, ZkRecords::Origin& origin)
{
    ZkFileSystem::Bytes now;
    ZkFileSystem::FileError error;
    if (bSame)
        now.assign(old.content.begin(), old.content.end());
    else if (!lock.ReadAll(now, &error))
        return CannotReadTheirs(capture, error);
    std::vector<Record> theirs;
    ZkDiag::Capture scratch;
    if (!Parse(std::move(now), pszRoot, pszRow, theirs, &scratch)) {
        // Changed since the base, and no library any more: what was put
        // there (a hand edit gone wrong, another program's file) is not
        // thrown away.
        capture.RefuseUnreadable(scratch);
        return false;
    }
    std::vector<Record> baseRecords;
    if (!bSame && old.bFile) {
        ZkFileSystem::Bytes copy(old.content.begin(), old.content.end());
        if (!Parse(std::move(copy), pszRoot, pszRow, baseRecords, nullptr))
            baseRecords.clear();
    }
    capture.bMerged = !bSame;
    ZkRecords::Scope scope;
    scope.pCapture = &capture;
    ZkRecords::MergeLists<Traits>(scope, old.bSnapshot ? &old.snapshot : nullptr,
                                  old.bSnapshot ? &old.origin : nullptr,
                                  bSame ? theirs : baseRecords, vecRecord, theirs, merged, origin);
    return true;
}

}  // namespace ZkRecordListDetail

// Writes the list to the file, under the file's lock (a second saver waits up
// to kSaveLockWait, then gives up with kLocked). Where the file is not what
// pBase says it was, another process saved since: the file is read and what
// the list changed since pBase is merged into it (Traits: RecordMerge.h).
// The list itself is never changed; pBase becomes what was written. True when
// the file was written.
template <typename Traits, typename Record>
bool SaveRecordList(const CString& strFile, const wchar_t* pszRoot, const wchar_t* pszRow,
                    std::vector<Record>& vecRecord, ZkFileBasePtr<Record>& pBase,
                    ZkDiag::Capture& capture)
{
    using ZkFileSystem::FileLock;
    using ZkFileSystem::FileStatus;
    namespace Detail = ZkRecordListDetail;
    const auto deadline = std::chrono::steady_clock::now() + ZkFileSystem::kSaveLockWait;
    const ZkFileBase<Record>* const pOld = pBase.get();
    const size_t nWarnings = capture.warnings.size();
    for (int nTry = 0;; ++nTry) {
        FileLock lock;
        ZkFileSystem::FileError error;
        const FileLock::Result locked =
            lock.Acquire(strFile, deadline, &error, pOld != nullptr && pOld->bFile);
        if (locked == FileLock::Result::kTimedOut) {
            capture.Fail(ZkOutcome::kLocked,
                         L"it held the file's lock for " +
                             std::to_wstring(ZkFileSystem::kSaveLockWait.count() / 1000) +
                             L" seconds; nothing was written");
            return false;
        }
        if (locked == FileLock::Result::kFailed) {
            capture.FailFile(error);
            return false;
        }

        std::vector<Record>* pWrite = &vecRecord;
        std::vector<Record> merged;
        ZkRecords::Origin origin;
        bool bSnapshot = false;
        if (locked == FileLock::Result::kNoFile) {
            // Nothing to merge with: the list goes in place, unless a file
            // appears meanwhile (then it is merged on the next round).
            if (pOld != nullptr && pOld->bFile) {
                ZkDiag::MergeNote note;
                note.kind = ZkMergeKind::kFileGone;
                capture.AddMerge(std::move(note));
            }
        } else if (pOld != nullptr) {
            const int nSame =
                pOld->bFile ? lock.Holds(pOld->content.data(), pOld->content.size(), &error) : 0;
            if (nSame < 0)
                return Detail::CannotReadTheirs(capture, error);
            if (nSame == 0 || pOld->bSnapshot) {
                if (!Detail::MergeWithFile<Traits>(lock, *pOld, nSame == 1, pszRoot, pszRow,
                                                   vecRecord, capture, merged, origin))
                    return false;
                pWrite = &merged;
                bSnapshot = !Detail::SameList<Record, Traits>(merged, vecRecord);
            }
        }

        auto pNew = std::make_shared<ZkFileBase<Record>>();
        pNew->bFile = true;
        const bool bOwn = pBase != nullptr && pBase.use_count() == 1;
        if (bOwn)
            pNew->content.swap(pBase->spare);
        pNew->content.clear();
        if (pOld != nullptr)
            pNew->content.reserve(pOld->content.size() + pOld->content.size() / 8 + 4096);
        if (!Detail::Write(strFile, pszRoot, pszRow, *pWrite, locked == FileLock::Result::kNoFile,
                           pNew->content, capture)) {
            if (bOwn)
                pBase->spare.swap(pNew->content);
            // A file that appeared where there was none is merged with.
            if (capture.fileStatus == FileStatus::kExists && nTry < 100) {
                capture.Retry(nWarnings);
                continue;
            }
            return false;
        }
        if (bSnapshot) {
            pNew->bSnapshot = true;
            pNew->snapshot = vecRecord;
            pNew->origin = std::move(origin);
        }
        if (bOwn)
            pNew->spare.swap(pBase->content);
        pBase = std::move(pNew);
        return true;
    }
}
