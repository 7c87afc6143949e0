#pragma once

// The library's text as UTF-8, for the programs beside the library that print
// it (zknd and the examples). Header-only; not part of the library.

#include <string>

#include "platform/CString.h"

namespace ZkUtf8Text {

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

// The library's UTF-16 units as UTF-8; a lone surrogate becomes U+FFFD.
inline std::string Utf8(const CString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.GetLength()));
    const int n = text.GetLength();
    const wchar_t* p = text.GetString();
    for (int i = 0; i < n; ++i) {
        unsigned cp = static_cast<unsigned>(p[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) {
            const unsigned lo = static_cast<unsigned>(p[i + 1]) & 0xFFFF;
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, cp >= 0xD800 && cp < 0xE000 ? 0xFFFD : cp);
    }
    return out;
}

}  // namespace ZkUtf8Text
