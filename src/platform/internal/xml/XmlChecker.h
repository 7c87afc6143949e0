#pragma once

// What the decoder (XmlDecoder.cpp), the well-formedness checker
// (XmlChecker.cpp) and XML's names (XmlNames.cpp) share; not exported.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ZkCompiler.h"
#include "platform/ZkTextPosition.h"
#include "platform/internal/report/Diagnostics.h"

namespace ZkXmlDecoder {

// The text breaks XML's rules at offset: the capture, when given, says why
// and where. Always false.
bool FailMalformed(ZkDiag::Capture* pCapture, const char* text, size_t size, size_t offset,
                   const char* reason);

// A character XML cannot carry, at offset, read as U+FFFD: a warning.
void WarnReplaced(ZkDiag::Capture* pCapture, ZkLineCounter& lines, size_t offset, unsigned long ch);

// The offset of the first of the bytes a, b and c in [p, p + n), or n.
inline size_t FindAny(const char* p, size_t n, char a, char b, char c)
{
    size_t i = 0;
#if ZKND_HAS_SSE2
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc)));
        if (mask != 0)
            return i +
                   static_cast<size_t>(ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < n; ++i)
        if (p[i] == a || p[i] == b || p[i] == c)
            break;
    return i;
}

// How many bytes the character that starts the n bytes at p (n > 0) takes
// when it may stand in a name (as the first character when bStart), else 0.
size_t NameCharAt(const char* p, size_t n, bool bStart);

// Why no name starts the n bytes at p, where one must: what, unless the
// character there may stand in a name but not first.
std::string NoNameReason(const char* p, size_t n, const char* what);

// Where the name of the first attribute of a start tag that repeats an
// earlier one starts, or npos; ends holds where each name ends.
size_t DuplicateAttribute(const char* p, size_t tagStart, const std::vector<size_t>& ends);

// Whether the three letters at p are "xml" in any letter case.
bool IsXmlInAnyCase(const char* p);

}  // namespace ZkXmlDecoder
