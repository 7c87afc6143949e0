#include "platform/internal/Number.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace ZkNumber {

namespace {

const char kCSpaces[] = " \t\n\r\v\f";

unsigned long Unit(char c)
{
    return static_cast<unsigned char>(c);
}

unsigned long Unit(wchar_t c)
{
    return static_cast<unsigned long>(c);
}

template <typename Char>
bool IsDigit(Char c)
{
    return c >= '0' && c <= '9';
}

template <typename Char>
bool IsSpace(Char c, const char* pszSpaces)
{
    const unsigned long u = Unit(c);
    return u != 0 && u < 0x80 && std::strchr(pszSpaces, static_cast<int>(u)) != nullptr;
}

// Narrows [0, n) to the number the rules leave: [b, e), not empty.
template <typename Char>
bool Trim(const Char* p, size_t n, const WholeTextRules& rules, size_t& b, size_t& e)
{
    b = 0;
    e = n;
    while (b < e && IsSpace(p[b], rules.pszSpaces))
        ++b;
    while (e > b && IsSpace(p[e - 1], rules.pszSpaces))
        --e;
    if (b < e && p[b] == '+' && (rules.bPlusBeforeSign || (e - b > 1 && p[b + 1] != '-')))
        ++b;
    return b < e && e - b <= rules.nMaxLength;
}

template <typename T>
bool FromCharsWhole(const char* b, const char* e, T& out)
{
    T value{};
    const auto r = std::from_chars(b, e, value);
    if (r.ec != std::errc() || r.ptr != e)
        return false;
    out = value;
    return true;
}

// Copies the digits from p[i] on into buf at k, at most nCap of them, and
// moves i past all of them; returns how many there were.
size_t TakeDigits(const wchar_t* p, size_t n, size_t& i, char* buf, size_t& k, size_t nCap)
{
    size_t nDigits = 0;
    for (; i < n && IsDigit(p[i]); ++i, ++nDigits) {
        if (nDigits < nCap)
            buf[k++] = static_cast<char>(p[i]);
    }
    return nDigits;
}

template <typename T>
bool ParseNarrow(const char* p, size_t n, const WholeTextRules& rules, T& out)
{
    size_t b = 0;
    size_t e = 0;
    return Trim(p, n, rules, b, e) && FromCharsWhole(p + b, p + e, out);
}

}  // namespace

const WholeTextRules kPropertyValue = {" \t\n\r", false, std::numeric_limits<size_t>::max()};
const WholeTextRules kThreeNumberPart = {kCSpaces, true, 127};

bool ParseWhole(const char* p, size_t n, const WholeTextRules& rules, double& out)
{
    return ParseNarrow(p, n, rules, out);
}

bool ParseWhole(const char* p, size_t n, const WholeTextRules& rules, int& out)
{
    return ParseNarrow(p, n, rules, out);
}

bool ParseWhole(const wchar_t* p, size_t n, const WholeTextRules& rules, double& out)
{
    size_t b = 0;
    size_t e = 0;
    char buf[128];
    if (!Trim(p, n, rules, b, e) || e - b >= sizeof buf)
        return false;
    size_t k = 0;
    for (size_t i = b; i < e; ++i) {
        if (Unit(p[i]) > 0x7F)
            return false;
        buf[k++] = static_cast<char>(p[i]);
    }
    return FromCharsWhole(buf, buf + k, out);
}

bool IsDecimal(const wchar_t* p, size_t n)
{
    size_t i = 0;
    if (i < n && (p[i] == L'+' || p[i] == L'-'))
        ++i;
    size_t digits = 0;
    while (i < n && IsDigit(p[i])) {
        ++i;
        ++digits;
    }
    if (i < n && p[i] == L'.') {
        ++i;
        while (i < n && IsDigit(p[i])) {
            ++i;
            ++digits;
        }
    }
    return digits > 0 && i == n;
}

double ParseLeading(const wchar_t* p, size_t n)
{
    // Longest prefix of the form [space][sign]digits[.digits][e[sign]digits],
    // copied into a bounded stack buffer. Leading zeros are dropped and an
    // integer part too long for the buffer means overflow, so the buffer never
    // needs to grow.
    const size_t kIntCap = 400;
    const size_t kFracCap = kIntCap / 2;
    char exp[16];
    char buf[kIntCap + 1 + kFracCap + 1 + sizeof exp];
    size_t i = 0;
    while (i < n && IsSpace(p[i], kCSpaces))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == L'+' || p[i] == L'-'))
        negative = p[i++] == L'-';
    size_t k = 0;
    bool anyDigit = false;
    while (i < n && p[i] == L'0') {
        ++i;
        anyDigit = true;
    }
    const size_t intDigits = TakeDigits(p, n, i, buf, k, kIntCap);
    anyDigit = intDigits > 0 || anyDigit;
    if (intDigits > kIntCap)
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (k == 0)
        buf[k++] = '0';
    if (i < n && p[i] == L'.') {
        ++i;
        buf[k++] = '.';
        anyDigit = TakeDigits(p, n, i, buf, k, kFracCap) > 0 || anyDigit;
    }
    if (!anyDigit)
        return 0.0;
    if (i < n && (p[i] == L'e' || p[i] == L'E')) {
        size_t j = i + 1;
        size_t e = 0;
        if (j < n && (p[j] == L'+' || p[j] == L'-'))
            exp[e++] = static_cast<char>(p[j++]);
        const size_t firstExpDigit = j;
        while (j < n && p[j] == L'0')
            ++j;
        while (j < n && IsDigit(p[j]) && e < sizeof exp - 1)
            exp[e++] = static_cast<char>(p[j++]);
        if (j < n && IsDigit(p[j])) {
            // An exponent this long overflows or underflows.
            const bool negExp = exp[0] == '-';
            return negExp ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
        }
        if (j > firstExpDigit) {
            buf[k++] = 'e';
            for (size_t m = 0; m < e; ++m)
                buf[k++] = exp[m];
            if (e == 0 || (e == 1 && (exp[0] == '-' || exp[0] == '+')))
                buf[k++] = '0';
        }
    }
    double value = 0.0;
    const auto r = std::from_chars(buf, buf + k, value);
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves value alone on range errors; the runtime saturates.
        const bool tiny =
            k > 0 && std::memchr(buf, 'e', k) != nullptr && std::memchr(buf, '-', k) != nullptr;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

}  // namespace ZkNumber
