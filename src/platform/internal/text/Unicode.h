#pragma once

// Text helpers inside the library (not exported). Wide text here is always a
// sequence of UTF-16 code units held in wchar_t, whatever the width of wchar_t.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>

#include "platform/ZkCompiler.h"

namespace ZkText {

inline wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline unsigned Unit(wchar_t c)
{
    return static_cast<unsigned>(c) & 0xFFFFu;
}

// Whether the whole value, not only its low 16 bits, is ASCII: a 32-bit
// wchar_t beyond U+FFFF is no ASCII character.
inline bool IsAscii(wchar_t c)
{
    return static_cast<std::make_unsigned_t<wchar_t>>(c) < 0x80;
}

// Ordinal comparison of UTF-16 code units as unsigned 16-bit numbers; a proper
// prefix comes first. Returns negative, 0 or positive.
int CompareOrdinal(const wchar_t* a, size_t na, const wchar_t* b, size_t nb);
int CompareOrdinalNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb);

// printf-style formatting into out (appends); see CString::Format. In
// Format.cpp.
void FormatV(std::wstring& out, const wchar_t* fmt, va_list args);

// Writes the code point as 1 to 4 bytes of UTF-8; returns the end. Inline:
// the writer calls it for every character beyond ASCII.
inline char* EncodeUtf8(char* out, unsigned long c)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Appends n characters of the platform's wide text (UTF-32 where wchar_t has
// 32 bits) as UTF-16 code units; a value beyond U+10FFFF becomes U+FFFD.
void AppendUnits(std::wstring& out, const wchar_t* psz, size_t n);
// Conversions between UTF-16 code units and UTF-8. A lone surrogate becomes
// U+FFFD; invalid UTF-8 sequences become U+FFFD each.
std::string Utf16ToUtf8(const wchar_t* p, size_t n);
std::wstring Utf8ToUtf16(const char* p, size_t n);
// A caller's text, such as a property name, as UTF-8, its characters read as
// CString reads them.
std::string NameToUtf8(const wchar_t* psz);
// Replaces out with the n bytes of UTF-8 at p, straight into its storage. An
// invalid sequence, and a control character other than TAB, LF and CR (which
// only a rewritten character reference leaves in parsed text), become U+FFFD.
void AssignUtf8(std::wstring& out, const char* p, size_t n);

#if ZKND_HAS_SSE2
// How many three-byte UTF-8 characters that need no closer look (CJK) the 16
// bytes at p start with, at most five: a lead 1110xxxx at 0, 3, 6, 9 and 12
// with two bytes 10xxxxxx after it, and no lead E0, ED or EF, whose next
// bytes could make an overlong form, a surrogate, U+FFFE or U+FFFF. Byte 15
// is not looked at. Exact: a character counts only when all three of its
// bytes pass.
inline size_t PlainThreeByteRun(const unsigned char* p)
{
    const __m128i pattern = _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64,
                                          -64, -16, -64, -64, 0);  // F0 C0 C0 ...
    const __m128i expected = _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32,
                                           -128, -128, -32, -128, -128, 0);  // E0 80 80 ...
    const __m128i leads = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i shaped = _mm_cmpeq_epi8(_mm_and_si128(v, pattern), expected);
    const __m128i special = _mm_and_si128(
        leads, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(-32)),   // E0
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8(-19))),  // ED
                            _mm_cmpeq_epi8(v, _mm_set1_epi8(-17))));              // EF
    const unsigned bad =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(special, shaped))) & 0x7FFFu;
    return bad == 0 ? 5 : static_cast<size_t>(ZkCompiler::TrailingZeros32(bad)) / 3;
}
#endif

}  // namespace ZkText
