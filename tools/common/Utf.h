#pragma once

// UTF-8, UTF-16 and UTF-32 of one another, for the programs beside the
// library (zknd and the examples): the library's text is UTF-16 units, what
// they print and the names they are given UTF-8. Header-only; not part of the
// library.

#include <cstddef>
#include <string>

#include "platform/CString.h"

namespace ZkUtf {

inline void AppendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code point of the UTF-8 at s[i], moving i past it; U+FFFD for a bad
// sequence.
inline unsigned NextCodePoint(const std::string& s, size_t& i)
{
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    const int nMore = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (nMore < 0)
        return 0xFFFD;
    unsigned cp = c & (0x3F >> nMore);
    for (int k = 0; k < nMore; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    const unsigned nLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < nLeast[nMore] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return 0xFFFD;
    return cp;
}

// UTF-8 of n UTF-16 units, each given by unit(i); a lone surrogate becomes
// U+FFFD.
template <typename Unit>
void AppendUtf16(std::string& out, size_t n, Unit unit)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned cp = unit(i) & 0xFFFF;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) {
            const unsigned lo = unit(i + 1) & 0xFFFF;
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? 0xFFFD : cp);
    }
}

// UTF-8 of the library's UTF-16 units (on Windows, of any wide text).
inline void AppendUtf8(std::string& out, const wchar_t* p, size_t n)
{
    // ASCII as a rule (GUID texts, most names): copied unit by unit.
    const size_t nAt = out.size();
    out.resize(nAt + n);
    size_t i = 0;
    for (; i < n && static_cast<unsigned>(p[i]) < 0x80; ++i)
        out[nAt + i] = static_cast<char>(p[i]);
    out.resize(nAt + i);
    AppendUtf16(out, n - i, [p, i](size_t k) { return static_cast<unsigned>(p[i + k]); });
}
inline std::string Utf8(const wchar_t* p, size_t n)
{
    std::string out;
    out.reserve(n);
    AppendUtf8(out, p, n);
    return out;
}
inline std::string Utf8(const CString& text)
{
    return Utf8(text.GetString(), static_cast<size_t>(text.GetLength()));
}
inline std::string Utf8(const std::wstring& text)
{
    return Utf8(text.data(), text.size());
}
inline std::string Utf8(const wchar_t* psz)
{
    return Utf8(CString(psz));
}

// UTF-16 units of UTF-8 (an invalid sequence becomes U+FFFD), in wchar_t of
// either width.
inline std::wstring Wide(const std::string& text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned cp = NextCodePoint(text, i);
        if (cp >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(cp);
        }
    }
    return wide;
}
inline CString FromUtf8(const std::string& text)
{
    return CString(Wide(text).c_str());
}

// An XML file's bytes in UTF-8: UTF-16 and UTF-32 (by byte-order mark, or by
// the '<' they start with) are converted, a UTF-8 byte-order mark dropped,
// anything else left as it is. Lines and columns of the result are those of
// the file's characters.
inline void XmlAsUtf8(std::string& bytes)
{
    auto byte = [&bytes](size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]));
    };
    auto starts = [&bytes](const char* p, size_t n) { return bytes.compare(0, n, p, n) == 0; };
    if (starts("\xEF\xBB\xBF", 3)) {
        bytes.erase(0, 3);
        return;
    }
    int nWidth = 0;
    bool bBig = false;
    size_t nSkip = 0;
    if (starts("\0\0\xFE\xFF", 4) || starts("\0\0\0<", 4)) {
        nWidth = 4, bBig = true, nSkip = bytes[2] == '\0' ? 0 : 4;
    } else if (starts("\xFF\xFE\0\0", 4) || starts("<\0\0\0", 4)) {
        nWidth = 4, nSkip = bytes[0] == '<' ? 0 : 4;
    } else if (starts("\xFE\xFF", 2) || starts("\0<", 2)) {
        nWidth = 2, bBig = true, nSkip = bytes[0] == '\0' ? 0 : 2;
    } else if (starts("\xFF\xFE", 2) || starts("<\0", 2)) {
        nWidth = 2, nSkip = bytes[0] == '<' ? 0 : 2;
    }
    if (nWidth == 0)
        return;
    const size_t n = (bytes.size() - nSkip) / static_cast<size_t>(nWidth);
    auto unit = [&](size_t i) {
        unsigned u = 0;
        for (int k = 0; k < nWidth; ++k) {
            const size_t at = nSkip + i * static_cast<size_t>(nWidth) +
                              static_cast<size_t>(bBig ? k : nWidth - 1 - k);
            u = (u << 8) | byte(at);
        }
        return u;
    };
    std::string out;
    out.reserve(n);
    if (nWidth == 2) {
        AppendUtf16(out, n, unit);
    } else {
        for (size_t i = 0; i < n; ++i) {
            const unsigned cp = unit(i);
            AppendUtf8(out, cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000) ? 0xFFFD : cp);
        }
    }
    bytes.swap(out);
}

}  // namespace ZkUtf
