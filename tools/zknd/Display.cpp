#include "Display.h"

namespace zknd {

namespace {

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

size_t DisplayWidth(const std::string& utf8)
{
    size_t nWidth = 0;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned cp = ZkUtf::NextCodePoint(utf8, i);
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
