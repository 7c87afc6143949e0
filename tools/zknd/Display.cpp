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

std::string Quoted(const CString& text)
{
    return "\"" + Utf8(text) + "\"";
}

std::string QuotedLine(const CString& text)
{
    return "\"" + OneLine(Utf8(text)) + "\"";
}

std::string UtcStamp(std::int64_t nSeconds)
{
    // Days to a date, counted in eras of 400 years from 0000-03-01, so that
    // the leap day is the last of each year.
    const std::int64_t nDays = (nSeconds >= 0 ? nSeconds : nSeconds - 86399) / 86400;
    const std::int64_t nSecond = nSeconds - nDays * 86400;
    const std::int64_t z = nDays + 719468;
    const std::int64_t nEra = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t nDayOfEra = z - nEra * 146097;
    const std::int64_t nYearOfEra =
        (nDayOfEra - nDayOfEra / 1460 + nDayOfEra / 36524 - nDayOfEra / 146096) / 365;
    const std::int64_t nDayOfYear =
        nDayOfEra - (365 * nYearOfEra + nYearOfEra / 4 - nYearOfEra / 100);
    const std::int64_t nMonthFromMarch = (5 * nDayOfYear + 2) / 153;
    const std::int64_t nMonth = nMonthFromMarch < 10 ? nMonthFromMarch + 3 : nMonthFromMarch - 9;
    const std::int64_t nYear = nYearOfEra + nEra * 400 + (nMonth <= 2 ? 1 : 0);
    auto digits = [](std::int64_t n, size_t nWidth) {
        std::string text = std::to_string(n);
        return std::string(text.size() < nWidth ? nWidth - text.size() : 0, '0') + text;
    };
    return digits(nYear, 4) + digits(nMonth, 2) +
           digits(nDayOfYear - (153 * nMonthFromMarch + 2) / 5 + 1, 2) + "T" +
           digits(nSecond / 3600, 2) + digits(nSecond / 60 % 60, 2) + digits(nSecond % 60, 2) + "Z";
}

}  // namespace zknd
