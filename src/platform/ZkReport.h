#pragma once

// What the last Load, Update, Save or CopyNode of a library manager did and,
// when it failed, why. The library shows, logs and throws nothing: a caller
// that wants to know asks the manager for GetLastReport() after the call.
// The report is an addition: every operation returns what it always returns.
// An operation that goes well records nothing but its outcome; the report and
// its texts are made when a caller first asks for them.

#include <vector>

#include "platform/CString.h"
#include "platform/ZkExport.h"

// How the operation ended.
enum class ZkOutcome : int {
    kNone = 0,             // no Load, Update, Save or CopyNode yet
    kDone,                 // read, written or both files copied
    kMissing,              // the file, or a folder on its path, does not exist
    kNotRegularFile,       // a folder, device or pipe stands where the file belongs
    kNotPermitted,         // the system refused access
    kSystemError,          // another failure of the system: see the code and reason
    kMalformed,            // not well-formed XML: line, column and the parser's reason
    kWrongRoot,            // well-formed, but its root element is not the library's
    kUndecodableEncoding,  // the file declares an encoding the reader cannot decode
    kCopyFailed,           // CopyNode: the drawing or the slide file was not copied
    kNoSuchRecord,         // CopyNode: no record at that index or of that name
    kLocked,               // Save: another process's save of the library went on for the
                           // whole wait (2 seconds); nothing was written
};

enum class ZkWarningKind : int {
    kValueNotRead,             // a value not readable as its type; the field kept its value
    kCharacterReplaced,        // a character that could not be read or written, now U+FFFD
    kGuidRefused,              // CopyNode: a GUID text that cannot name a file
    kCopyFailed,               // CopyNode: one of the two file copies failed
    kAmpersandAsText,          // a '&' in a value that begins no reference, read as itself
    kEncodingByByteOrderMark,  // the declaration named another encoding than the
                               // byte-order mark; read by the mark (strText: the name declared)
};

// Something an operation noticed without failing because of it.
struct ZKND_API ZkWarning {
    ZkWarningKind eKind;
    int nLine;                  // 1-based; 0 when not known
    int nColumn;                // 1-based, in characters of the line; 0 when not known
    ZkNd::CString strSection;   // the section (XML element) of the value, or empty
    ZkNd::CString strProperty;  // the property, or empty
    // The value as read; the character replaced, as "U+XXXX"; the GUID text
    // refused; the source file not copied; or the '&' read as itself with
    // the name after it, if any ("&", "&amp").
    ZkNd::CString strText;
    ZkNd::CString strMessage;  // one line of English, ready to show

    ZkWarning();
};

// What a Save took from the file, or settled, when another process had saved
// the library since this manager last loaded or saved it: the file was read
// and this manager's changes were merged into it (docs/saving.md).
enum class ZkMergeKind : int {
    kAdded,             // another process added the record: it is in the file
    kDeleted,           // another process deleted the record: it is not
    kChanged,           // another process changed a field (strField): its value is in the file
    kConflict,          // both changed a field: this manager's value (strOurs) was written,
                        // the other's (strTheirs) is gone
    kKeptChangedHere,   // another process deleted the record, this manager changed it: kept,
                        // with this manager's values
    kKeptChangedThere,  // this manager deleted the record, another process changed it: kept,
                        // with that process's values
    kRenamed,           // this manager's record had a name another process's record had
                        // taken: it was written as strName, the next free name, not strOurs
    kOrder,             // both changed the order of the list: this manager's order was written
    kFileGone,          // another process had deleted the file: this manager's list was written
};

// One thing a merging Save took from the file or settled.
struct ZKND_API ZkMergeNote {
    ZkMergeKind eKind;
    // The record: its section ("NodeDetailResDataRow", "FitRow" or "FitInfo"),
    // empty for a note about the whole file; a fitting's or a group's fitting
    // type (-1 for a node detail); its GUID text and its name as written.
    CString strSection;
    int nFitType;
    CString strGuid;
    CString strName;
    CString strField;    // kChanged, kConflict: the property, e.g. "DisplayName"
    CString strOurs;     // kConflict: this manager's value; kRenamed: the name it had here
    CString strTheirs;   // kChanged, kConflict: the other process's value
    CString strMessage;  // one line of English, ready to show

    ZkMergeNote();
};

struct ZKND_API ZkReport {
    ZkOutcome eOutcome;
    // The file the outcome is about, in the library's path form: the library
    // file for Load, Update and Save; for CopyNode the first source file that
    // was not copied (empty when both were, or when the GUID text could name
    // no file).
    ZkNd::CString strPath;
    int nLine;                // where a malformed file stops making sense; 0 when not known
    int nColumn;              // 1-based, in characters of the line; 0 when not known
    ZkNd::CString strReason;  // the system's or the parser's reason; empty on success and
                              // where the outcome says it all
    ZkNd::CString strName;    // kWrongRoot: the root element found; kUndecodableEncoding: the
                              // encoding the file declares
    int nSystemCode;          // errno, or GetLastError() on Windows; 0 when none
    std::vector<ZkWarning> vecWarning;  // in the order they were noticed
    // Save: whether the file had changed since this manager last loaded or
    // saved it, so that what it held was merged with this manager's list.
    bool bMerged;
    // Save: what the merge took from the file and what it settled, in list
    // order. Records another process added, deleted or changed are listed up
    // to 1000; nMergeNotesDropped counts the rest. Conflicts, records kept and
    // renames are always listed.
    std::vector<ZkMergeNote> vecMerge;
    int nMergeNotesDropped;

    ZkReport();
    // True for kDone.
    bool Succeeded() const;
    // One line of English: what happened, then the reason when there is one,
    // e.g. "malformed XML: Start-end tags mismatch".
    ZkNd::CString Describe() const;
};
