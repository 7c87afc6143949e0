#pragma once

// Text helpers inside the library (not exported). Wide text here is always a
// sequence of UTF-16 code units held in wchar_t, whatever the width of wchar_t.
// Every conversion between UTF-8, UTF-16 units and code points in the library
// is made of the steps here: a caller that needs a variant (the writer's
// escapes, the decoder's record of replaced characters) keeps only that part.

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

// UTF-16 surrogates: a high one (D800-DBFF) and a low one (DC00-DFFF) make
// a pair; one alone is no character.
inline bool IsSurrogate(unsigned long c)
{
    return c - 0xD800 < 0x800;
}

inline bool IsHighSurrogate(unsigned long c)
{
    return c - 0xD800 < 0x400;
}

inline bool IsLowSurrogate(unsigned long c)
{
    return c - 0xDC00 < 0x400;
}

// The character that the UTF-16 units unit(i), unit(i + 1) ... (of n) start
// with, and in len how many units it takes. A lone surrogate gives itself:
// each caller replaces it, and some record it.
template <typename UnitAt>
inline unsigned long DecodeUtf16(const UnitAt& unit, size_t i, size_t n, size_t& len)
{
    const unsigned long c = unit(i);
    if (IsHighSurrogate(c) && i + 1 < n) {
        const unsigned long low = unit(i + 1);
        if (IsLowSurrogate(low)) {
            len = 2;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    len = 1;
    return c;
}

// Writes a code point up to U+10FFFF as one or two UTF-16 units; returns the
// end.
inline wchar_t* EncodeUtf16(wchar_t* out, unsigned long c)
{
    if (c < 0x10000) {
        *out++ = static_cast<wchar_t>(c);
    } else {
        const unsigned long v = c - 0x10000;
        *out++ = static_cast<wchar_t>(0xD800 + (v >> 10));
        *out++ = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
    }
    return out;
}

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

// What DecodeUtf8 gives for bytes that are no UTF-8 character: a value no
// character has.
const unsigned long kNotUtf8 = 0x110000;

inline bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The character that the n bytes of UTF-8 at s (n > 0) start with, and in len
// how many bytes it takes. A sequence that is no character (a continuation
// alone, a lead C0, C1 or F5-FF, a sequence cut short, an overlong form, a
// surrogate, beyond U+10FFFF) gives kNotUtf8 and a length of 1.
inline unsigned long DecodeUtf8(const unsigned char* s, size_t n, size_t& len)
{
    const unsigned long b0 = s[0];
    len = 1;
    if (b0 < 0x80)
        return b0;
    size_t need = 0;
    unsigned long v = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        v = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        v = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        v = b0 & 0x07;
    } else {
        return kNotUtf8;
    }
    if (need > n)
        return kNotUtf8;
    for (size_t k = 1; k < need; ++k) {
        if (!IsContinuation(s[k]))
            return kNotUtf8;
        v = (v << 6) | (s[k] & 0x3Fu);
    }
    if ((need == 3 && (v < 0x800 || IsSurrogate(v))) ||
        (need == 4 && (v < 0x10000 || v > 0x10FFFF)))
        return kNotUtf8;
    len = need;
    return v;
}

// Converts the n UTF-16 units unit(0) ... unit(n - 1) to UTF-8 at out, which
// has room for three bytes a unit; returns the end. A lone surrogate becomes
// U+FFFD, after onLone(where it goes in out, the surrogate).
template <typename UnitAt, typename OnLone>
char* Utf16RunToUtf8(const UnitAt& unit, size_t n, char* out, const OnLone& onLone)
{
    char* const start = out;
    for (size_t i = 0; i < n;) {
        size_t len = 1;
        unsigned long c = DecodeUtf16(unit, i, n, len);
        if (IsSurrogate(c)) {
            onLone(static_cast<size_t>(out - start), c);
            c = 0xFFFD;
        }
        out = EncodeUtf8(out, c);
        i += len;
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

// Why UTF-8 text stops being what XML reads raw.
enum class Utf8Fault { kNone, kInvalid, kForbidden };
// How many bytes from the start of [p, p + n) are valid UTF-8 of characters
// XML allows raw (no control character but TAB, LF and CR, no U+FFFE or
// U+FFFF), and why the text stops there (kNone: it does not).
size_t ValidXmlUtf8(const char* p, size_t n, Utf8Fault& fault);

#if ZKND_HAS_SSE2
// The 16 UTF-16 units at p narrowed to bytes with saturation: an ASCII unit
// stays itself; any other becomes 0xFF or, negative as a signed 16-bit unit,
// 0, so a run of ASCII from 0x20 on ends at it.
inline __m128i NarrowUnits(const wchar_t* p)
{
    const auto* v = reinterpret_cast<const __m128i*>(p);
    if constexpr (sizeof(wchar_t) == 4)
        return _mm_packus_epi16(_mm_packs_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1)),
                                _mm_packs_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3)));
    else
        return _mm_packus_epi16(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
}
#endif

}  // namespace ZkText
