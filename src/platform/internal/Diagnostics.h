#pragma once

// What reading or writing a library file found (not exported): the outcome,
// with the system's or the parser's reason and the place, and warnings about
// single values and characters. Nothing is formatted or allocated while all
// goes well: a place is kept as an offset into the text and becomes a line
// and column only when something is recorded.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/internal/FileSystem.h"

namespace ZkDiag {

enum class Outcome {
    kNone,                 // nothing tried yet
    kRead,                 // read; warnings may still say what was replaced or skipped
    kWritten,              //
    kMissing,              // no such file (or folder on the way)
    kNotRegular,           // a folder, a FIFO, a device
    kNotPermitted,         //
    kSystemError,          // any other system error: see nSystemCode and strReason
    kMalformed,            // not well-formed XML, or invalid bytes for its encoding
    kWrongRoot,            // another root element: strName
    kUndecodableEncoding,  // a declared encoding that cannot be decoded: strName
};

// 1-based; a column counts characters of its line. 0 when not known.
struct Position {
    unsigned long nLine = 0;
    unsigned long nColumn = 0;
};

enum class WarningKind {
    kBadValue,           // a value that does not read as its type; strText holds it
    kReplacedCharacter,  // nCharacter became U+FFFD
};

struct Warning {
    WarningKind kind = WarningKind::kBadValue;
    bool bWriting = false;
    Position at;
    std::wstring strSection;   // element name; empty when not known
    std::wstring strProperty;  // empty outside a property
    std::wstring strText;
    unsigned long nCharacter = 0;  // a code point, or the lone surrogate's unit
};

// The last read or write of one library file.
struct Capture {
    Outcome outcome = Outcome::kNone;
    int nSystemCode = 0;     // errno or GetLastError()
    std::wstring strReason;  // the system's or the parser's words
    Position at;             // where a malformed file goes wrong
    std::wstring strName;    // the root found, or the encoding declared
    std::vector<Warning> warnings;
    size_t nWarningsDropped = 0;  // beyond kMaxWarnings

    static constexpr size_t kMaxWarnings = 1000;

    void Reset() { *this = Capture(); }
    // False when the list is full (the warning is only counted).
    bool Add(Warning warning);
    // Set once: the first failure found stays.
    void Fail(Outcome o, const std::string& reasonUtf8);
    // Why a file could not be read or written.
    void FailFile(const ZkFileSystem::FileError& error);
};

// Line and column of byte offsets into UTF-8 text. Line ends are LF, CR LF
// and a lone CR. Asking in increasing order costs one pass over the text.
class LineCounter {
public:
    LineCounter(const char* text, size_t size) : m_p(text), m_n(size) {}
    Position At(size_t offset);

private:
    const char* m_p;
    size_t m_n;
    size_t m_done = 0;  // scanned up to here
    unsigned long m_nLine = 1;
    unsigned long m_nColumn = 1;  // of m_done
};

std::wstring WideFromUtf8(const std::string& s);

}  // namespace ZkDiag
