#include "Text.h"

namespace zknd {

namespace {

// The code point at s[i], moving i past it; U+FFFD for a bad sequence.
unsigned NextCodePoint(const std::string& s, size_t& i)
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

bool IsWide(unsigned cp)
{
    // East Asian Wide and Fullwidth blocks.
    static const unsigned kRanges[][2] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
        {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
        {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
    };
    for (const auto& r : kRanges)
        if (cp >= r[0] && cp <= r[1])
            return true;
    return false;
}

}  // namespace

CString FromUtf8(const std::string& text)
{
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        const unsigned cp = NextCodePoint(text, i);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0x10000) {
                wide += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                wide += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                continue;
            }
        }
        wide += static_cast<wchar_t>(cp);
    }
    return CString(wide.c_str());  // splits what 16 bits cannot hold into pairs
}

size_t DisplayWidth(const std::string& utf8)
{
    size_t nWidth = 0;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned cp = NextCodePoint(utf8, i);
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0x300 && cp < 0x370) || cp == 0x200B)
            continue;
        nWidth += IsWide(cp) ? 2 : 1;
    }
    return nWidth;
}

std::string OneLine(std::string utf8)
{
    for (char& c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return utf8;
}

}  // namespace zknd
