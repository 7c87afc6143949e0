#include "platform/internal/text/Number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace ZkNumber {

namespace {

// Powers of ten that are exact doubles.
const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                          1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

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

// Every space of the rules lies below '0', so a digit at either end costs no
// look into the list.
template <typename Char>
bool IsSpace(Char c, const char* pszSpaces)
{
    const unsigned long u = Unit(c);
    return u != 0 && u < '0' && std::strchr(pszSpaces, static_cast<int>(u)) != nullptr;
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

template <typename T>
bool ParseNarrow(const char* p, size_t n, const WholeTextRules& rules, T& out)
{
    size_t b = 0;
    size_t e = 0;
    return Trim(p, n, rules, b, e) && FromCharsWhole(p + b, p + e, out);
}

// A plain decimal, [-]digits[.digits], read to the double std::from_chars
// gives in one correctly rounded step: at most 19 digits in all, their value
// as an integer at most 2^53. False, and out unchanged, for anything else,
// which then goes the general way.
bool ParsePlainDecimal(const char* p, size_t n, double& out)
{
    // The digits as an integer m and the count k after the point: m and 10^k
    // are both exact doubles, so m / 10^k is the one rounding a correctly
    // rounded conversion makes. With a digit before the point, at most 18 come
    // after it, the last power of ten in kPowers.
    size_t i = 0;
    const bool negative = n > 0 && p[0] == '-';
    i += negative ? 1 : 0;
    uint64_t m = 0;
    size_t digits = 0;
    for (; i < n && IsDigit(p[i]) && digits < 20; ++i, ++digits)
        m = m * 10 + static_cast<uint64_t>(p[i] - '0');
    if (digits == 0)
        return false;
    size_t fraction = 0;
    if (i < n && p[i] == '.') {
        for (++i; i < n && IsDigit(p[i]) && digits < 20; ++i, ++digits, ++fraction)
            m = m * 10 + static_cast<uint64_t>(p[i] - '0');
        if (fraction == 0)
            return false;
    }
    if (i != n || digits > 19 || m > (uint64_t{1} << 53))
        return false;
    const double value = static_cast<double>(m) / kPowers[fraction];
    out = negative ? -value : value;
    return true;
}

}  // namespace

const WholeTextRules kPropertyValue = {" \t\n\r", false, std::numeric_limits<size_t>::max()};
const WholeTextRules kThreeNumberPart = {kCSpaces, true, 127};

bool ParseWhole(const char* p, size_t n, const WholeTextRules& rules, double& out)
{
    // A plain decimal has nothing to trim and is shorter than any limit.
    return ParsePlainDecimal(p, n, out) || ParseNarrow(p, n, rules, out);
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
    // The longest prefix [space][sign]digits[.digits][e[sign]digits], exactly
    // as strtod rounds it, in a fixed buffer: the first kKeep significant
    // digits, then one '1' standing for any non-zero digit after them, which
    // decides a rounding that those digits leave open (no halfway point of
    // two doubles has more than 767 significant digits), and the power of ten.
    const size_t kKeep = 800;
    char buf[kKeep + 1 + 16];
    size_t i = 0;
    while (i < n && IsSpace(p[i], kCSpaces))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == L'+' || p[i] == L'-'))
        negative = p[i++] == L'-';
    size_t k = 0;
    bool anyDigit = false;
    bool sticky = false;
    long long scale = 0;  // the power of ten of the last digit kept
    for (; i < n && IsDigit(p[i]); ++i) {
        anyDigit = true;
        if (k == 0 && p[i] == L'0')
            continue;
        if (k < kKeep) {
            buf[k++] = static_cast<char>(p[i]);
        } else {
            ++scale;  // a digit dropped before the point
            sticky = sticky || p[i] != L'0';
        }
    }
    if (i < n && p[i] == L'.') {
        for (++i; i < n && IsDigit(p[i]); ++i) {
            anyDigit = true;
            if (k < kKeep) {
                if (k > 0 || p[i] != L'0')
                    buf[k++] = static_cast<char>(p[i]);
                --scale;  // a digit kept, or a leading zero, after the point
            } else {
                sticky = sticky || p[i] != L'0';
            }
        }
    }
    if (!anyDigit || k == 0)
        return negative && anyDigit ? -0.0 : 0.0;
    if (i < n && (p[i] == L'e' || p[i] == L'E')) {
        size_t j = i + 1;
        const bool negExp = j < n && p[j] == L'-';
        if (j < n && (p[j] == L'+' || p[j] == L'-'))
            ++j;
        long long e = 0;
        for (; j < n && IsDigit(p[j]); ++j)
            e = e > 1000000000 ? e : e * 10 + (p[j] - L'0');
        if (j > i + 1 && IsDigit(p[j - 1]))
            scale += negExp ? -e : e;
    }
    if (sticky) {
        buf[k++] = '1';
        --scale;
    }
    // Beyond this the result is 0 or infinite whatever the digits.
    const long long kLimit = 100000;
    scale = scale < -kLimit ? -kLimit : (scale > kLimit ? kLimit : scale);
    const bool large = static_cast<long long>(k) + scale > 0;
    buf[k] = 'e';
    char* const end = std::to_chars(buf + k + 1, buf + sizeof buf, scale).ptr;
    double value = 0.0;
    const auto r = std::from_chars(buf, end, value);
    if (r.ec == std::errc::result_out_of_range)  // from_chars leaves value alone
        value = large ? HUGE_VAL : 0.0;
    return negative ? -value : value;
}

char* ShortestText(char* first, char* last, double value)
{
    // A value that m / 10^k gives exactly, for an integer m below 10^15 and
    // k up to 4: no other decimal of 15 significant digits or fewer reads as
    // the same double, so m's digits are the shortest text, as std::to_chars
    // would find them.
    const double a = std::fabs(value);
    if (a == 0 && last - first >= 2) {
        char* p = first;
        if (std::signbit(value))
            *p++ = '-';
        *p++ = '0';
        return p;
    }
    const int kMaxFraction = 4;
    if (last - first >= 24 && a >= 1e-4 && a < 1e15) {
        for (int k = 0; k <= kMaxFraction; ++k) {
            // rint, not nearbyint: GCC inlines it, where nearbyint is a call
            // that saves and restores the floating-point environment to leave
            // the inexact flag alone, which nothing here reads.
            const double m = std::rint(a * kPowers[k]);
            if (m >= 1e15)
                break;
            if (m / kPowers[k] != a)
                continue;
            auto digits = static_cast<uint64_t>(m);
            int q = -k;  // the value is digits * 10^q
            while (digits % 10 == 0) {
                digits /= 10;
                ++q;
            }
            char s[16];
            const int d = static_cast<int>(std::to_chars(s, s + sizeof s, digits).ptr - s);
            // Fixed or scientific, whichever is shorter; fixed on a tie.
            const int x = q + d - 1;
            const int nScientific = d + (d > 1 ? 1 : 0) + 4;  // |x| < 100
            const int nFixed = q >= 0 ? d + q : d + q > 0 ? d + 1 : 2 - q;
            char* p = first;
            if (std::signbit(value))
                *p++ = '-';
            if (nScientific < nFixed) {
                *p++ = s[0];
                if (d > 1) {
                    *p++ = '.';
                    p = std::copy(s + 1, s + d, p);
                }
                *p++ = 'e';
                *p++ = x < 0 ? '-' : '+';
                const int e = x < 0 ? -x : x;
                *p++ = static_cast<char>('0' + e / 10);
                *p++ = static_cast<char>('0' + e % 10);
            } else if (q >= 0) {
                p = std::copy(s, s + d, p);
                p = std::fill_n(p, q, '0');
            } else if (d + q > 0) {
                p = std::copy(s, s + d + q, p);
                *p++ = '.';
                p = std::copy(s + d + q, s + d, p);
            } else {
                *p++ = '0';
                *p++ = '.';
                p = std::fill_n(p, -q - d, '0');
                p = std::copy(s, s + d, p);
            }
            return p;
        }
    }
    return std::to_chars(first, last, value).ptr;
}

char* ThreeNumberText(char* first, char* last, const stu3Value& value)
{
    const double parts[3] = {value.x, value.y, value.z};
    char* p = first;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            *p++ = ',';
        p = ShortestText(p, last, parts[i]);
    }
    return p;
}

}  // namespace ZkNumber
