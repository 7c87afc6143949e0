#pragma once

// Lines and columns as the library's reports give them, for a caller that
// reads a library file itself (with an XML parser that gives byte offsets)
// and wants to point at the same places the library's messages do.

#include <cstddef>

#include "platform/ZkExport.h"

// 1-based; a column counts characters (not bytes) of its line. 0 when not
// known.
struct ZkTextPosition {
    unsigned long nLine = 0;
    unsigned long nColumn = 0;
};

// Line and column of byte offsets into UTF-8 text. Line ends are LF, CR LF
// and a lone CR; an offset inside a character belongs to that character.
// Asking in increasing order costs one pass over the text; asking for an
// earlier offset starts again from the top. The text is not copied: it must
// outlive the counter.
class ZKND_API ZkLineCounter {
public:
    ZkLineCounter(const char* pText, size_t nSize) : m_p(pText), m_n(nSize) {}

    // A position past the end of the text is not known: {0, 0}.
    ZkTextPosition At(size_t nOffset);

private:
    const char* m_p;
    size_t m_n;
    size_t m_nDone = 0;  // counted up to here
    unsigned long m_nLine = 1;
    unsigned long m_nColumn = 1;  // of m_nDone
};
