#pragma once

// The console form of the library's text for the example program, which
// prints names.

#include <string>

#include "platform/CString.h"

// The library's UTF-16 units as UTF-8.
inline std::string Utf8(const CString& text)
{
    std::string out;
    const int n = text.GetLength();
    for (int i = 0; i < n; ++i) {
        unsigned long c = static_cast<unsigned long>(text.GetAt(i)) & 0xFFFFu;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
            const unsigned long low = static_cast<unsigned long>(text.GetAt(i + 1)) & 0xFFFFu;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
