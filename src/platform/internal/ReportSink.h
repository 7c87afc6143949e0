#pragma once

// Where the library's layers tell a manager's running Load, Save or CopyNode
// what went wrong (not exported). The manager opens a Scope around the
// operation; inside it the exchange and the file layer call the functions
// below, which fill the manager's ZkReport. Outside a scope they do nothing.
// An operation that goes well calls none of them: only the scope's opening
// and Finish, so a clean Load pays nothing for the report.

#include <cstddef>
#include <string>

#include "platform/CString.h"
#include "platform/ZkReport.h"
#include "platform/internal/FileSystem.h"

namespace ZkReportSink {

class Scope {
public:
    // Empties report and makes it the one the calls below fill; strPath is
    // the file the operation is about.
    Scope(ZkReport& report, const CString& strPath);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    // Ends the operation with its result: kDone when bOk, else the failure
    // told so far (kSystemError when none was). Returns bOk.
    bool Finish(bool bOk);

private:
    friend struct ScopeAccess;
    ZkReport* m_pReport;
    Scope* m_pOuter;
    // The file, read again only to place a warning given by offset.
    std::string m_bytes;
    bool m_bBytesRead = false;
};

// Where something was noticed: a byte offset in the file being read, or a
// line and column (1-based, the column in characters) found by the caller.
// Line and column are worked out from the offset only when a warning is
// recorded, from the file as it is on disk (UTF-8 or ASCII-compatible bytes).
struct Where {
    ptrdiff_t nOffset = -1;
    int nLine = 0;
    int nColumn = 0;
};

// The operation's failure. The first one told stands; later ones, such as a
// caller's fallback after a failure already explained, change nothing.
void Fail(ZkOutcome eOutcome, const CString& strReason = CString());
// A failure of the file layer (FileError from ReadWholeFile, ProbeFile or the
// AtomicWriter); pszPath is the file it is about.
void FileFailed(const ZkFileSystem::FileError& error, const wchar_t* pszPath);
// Not well-formed: the parser's reason (UTF-8) and where it stopped.
void Malformed(const char* pszReason, const Where& where);
// Same, with the offset's line and column found in the bytes at hand.
void Malformed(const char* pszReason, const char* pBytes, size_t nSize, size_t nOffset);
void WrongRoot(const char* pszFound, const char* pszExpected);
void UndecodableEncoding(const char* pszEncoding);

// Warnings; names and texts are UTF-8.
// A value that is not a pszType ("a real number", "an integer", "three
// numbers"); the field kept its value.
void ValueNotRead(const Where& where, const char* pszSection, const char* pszProperty,
                  const char* pText, size_t nText, const char* pszType);
// A character that could not be read (bReading) or written, now U+FFFD.
void CharacterReplaced(const Where& where, const char* pszSection, const char* pszProperty,
                       unsigned nCodePoint, bool bReading);
// CopyNode: a GUID text that cannot name a file; pszWhy says what is wrong
// with it. Both file copies then count as failed.
void GuidRefused(const CString& strGuid, const char* pszWhy);
// CopyNode: one file copy that failed, with the system's error.
void CopyFailed(const CString& strFrom, const CString& strTo, const ZkFileSystem::FileError& error);

// 1-based line and column of a byte offset in UTF-8 text; the column counts
// characters, and a leading byte-order mark takes none.
void LineColumnOf(const char* p, size_t n, size_t nOffset, int& nLine, int& nColumn);

}  // namespace ZkReportSink
