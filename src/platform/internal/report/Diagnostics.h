#pragma once

// What a library manager's last operation met (not exported): reading or
// writing its file, with the system's or the parser's reason and the place,
// warnings about single values and characters, and CopyNode's file copies.
// Nothing is formatted or allocated while all goes well: a place is kept as
// an offset into the text and becomes a line and column only when something
// is recorded, and the public ZkReport with its messages is made only when a
// caller asks for it.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/ZkReport.h"
#include "platform/ZkTextPosition.h"
#include "platform/internal/files/FileSystem.h"

namespace ZkDiag {

using Position = ZkTextPosition;

enum class WarningKind {
    kBadValue,                 // a value that does not read as its type; strText holds it
    kReplacedCharacter,        // nCharacter became U+FFFD
    kGuidRefused,              // CopyNode: strText cannot name a file, so nothing was copied
    kCopyFailed,               // CopyNode: strText, a source file, was not copied: error
    kAmpersandAsText,          // a '&' that begins no reference, read as itself; strText from it
    kEncodingByByteOrderMark,  // strText the encoding declared, strProperty the one read
};

// What a value that did not read should have been.
enum class ValueType { kReal, kInteger, kThreeNumbers };

struct Warning {
    WarningKind kind = WarningKind::kBadValue;
    bool bWriting = false;
    Position at;
    std::wstring strSection;   // element name; empty when not known
    std::wstring strProperty;  // empty outside a property
    std::wstring strText;
    unsigned long nCharacter = 0;  // a code point, or the lone surrogate's unit
    ValueType valueType = ValueType::kReal;
    ZkFileSystem::FileError error;
    const wchar_t* pszWhy = L"";  // kGuidRefused: why the text names no file
};

// One thing a merging Save took from the file or settled (ZkMergeNote).
struct MergeNote {
    ZkMergeKind kind = ZkMergeKind::kAdded;
    const wchar_t* pszSection = L"";  // the record's section; empty for the whole file
    int nFitType = -1;
    std::wstring strGuid;
    std::wstring strName;
    std::wstring strField;
    std::wstring strOurs;
    std::wstring strTheirs;
    // The record in a message, e.g. node detail "Pump" (GUID); empty for the
    // whole file.
    std::wstring strWho;
    std::wstring strList;  // kOrder: whose order, e.g. "the node details"
};

// The last read or write of one library file.
struct Capture {
    ZkOutcome outcome = ZkOutcome::kNone;
    bool bCopyNode = false;  // the report's path is then strPath, not the library file
    int nSystemCode = 0;     // errno or GetLastError()
    std::wstring strReason;  // the system's or the parser's words
    Position at;             // where a malformed file goes wrong
    std::wstring strName;    // the root found, or the encoding declared
    std::wstring strPath;    // CopyNode: the first source file not copied
    std::vector<Warning> warnings;
    size_t nWarningsDropped = 0;                                          // beyond kMaxWarnings
    ZkFileSystem::FileStatus fileStatus = ZkFileSystem::FileStatus::kOk;  // of FailFile
    bool bMerged = false;  // Save: the file had changed and was merged
    std::vector<MergeNote> merges;
    size_t nMergesFromFile = 0;  // notes kept of records added, deleted or changed
    size_t nMergesDropped = 0;   // such notes beyond kMaxWarnings

    static constexpr size_t kMaxWarnings = 1000;

    void Reset() { *this = Capture(); }
    // False when the list is full (the warning is only counted).
    bool Add(Warning warning);
    // What a merge took or settled; of additions, deletions and changes made
    // by another process only the first kMaxWarnings are kept.
    void AddMerge(MergeNote note);
    // Forgets a failed attempt, its warnings from nWarnings on and what it
    // merged, before the operation tries again.
    void Retry(size_t nWarnings);
    // Set once: the first failure found stays.
    void Fail(ZkOutcome o, std::wstring reason);
    void Fail(ZkOutcome o, const std::string& reasonUtf8);
    // Why a file could not be read or written.
    void FailFile(const ZkFileSystem::FileError& error);
    // Save: the file changed since the base and does not read as the
    // library (read: what reading it found), so nothing was written.
    void RefuseUnreadable(const Capture& read);
    // CopyNode: a source file not copied, or a GUID text that cannot name
    // one. The first of them is the outcome.
    void CopyFailed(const wchar_t* pszSource, const ZkFileSystem::FileError& error);
    // pszWhy is ZkIsPlainFileName's reason.
    void GuidRefused(const wchar_t* pszGuid, const wchar_t* pszWhy);

    // The public report of this; pszFile is the library file the manager
    // read or wrote.
    void Explain(const wchar_t* pszFile, ZkReport& report) const;
};

// A manager's last operation: the capture its layers fill, and the report a
// caller asks for, made once after each operation.
class LastOperation {
public:
    // Forgets the previous operation. A CopyNode's report names the source
    // file not copied instead of the library file.
    Capture& Start(bool bCopyNode = false)
    {
        m_capture.Reset();
        m_capture.bCopyNode = bCopyNode;
        m_bExplained = false;
        return m_capture;
    }
    // The operation under way.
    Capture& Recording() { return m_capture; }
    const ZkReport& Report(const CString& strFile)
    {
        if (!m_bExplained)
            m_capture.Explain(strFile, m_report);
        m_bExplained = true;
        return m_report;
    }

private:
    Capture m_capture;
    ZkReport m_report;
    bool m_bExplained = true;
};

std::wstring WideFromUtf8(const std::string& s);

}  // namespace ZkDiag
