// printf-style formatting for CString::Format.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/internal/text/Unicode.h"

namespace ZkText {

namespace {

void AppendNarrow(std::wstring& out, const char* s)
{
    for (; *s != '\0'; ++s)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*s)));
}

// n characters at s, padded with spaces to width on the left, or on the
// right when bLeft.
void AppendPadded(std::wstring& out, const wchar_t* s, size_t n, int width, bool bLeft)
{
    const size_t pad =
        (width > 0 && static_cast<size_t>(width) > n) ? static_cast<size_t>(width) - n : 0;
    if (!bLeft)
        out.append(pad, L' ');
    out.append(s, n);
    if (bLeft)
        out.append(pad, L' ');
}

// Formats one numeric conversion through the C library with a narrow spec.
template <typename T>
void FormatNumber(std::wstring& out, const std::string& spec, T value)
{
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, spec.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof buf) {
        AppendNarrow(out, buf);
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(&big[0], big.size(), spec.c_str(), value);
    AppendNarrow(out, big.c_str());
}

// An integer conversion: the length modifier picks the argument's type.
template <typename Plain, typename Long, typename LongLong, typename Size>
void FormatInteger(std::wstring& out, const std::string& spec, const std::string& len, va_list* ap)
{
    if (len == "l")
        FormatNumber(out, spec, va_arg(*ap, Long));
    else if (len == "ll" || len == "j")
        FormatNumber(out, spec, va_arg(*ap, LongLong));
    else if (len == "z" || len == "t")
        FormatNumber(out, spec, va_arg(*ap, Size));
    else
        FormatNumber(out, spec, va_arg(*ap, Plain));
}

// A conversion's flags, width, precision and length modifier, as read, and
// the narrow spec that the C library is given.
struct Spec {
    std::string text = "%";
    bool bLeft = false;
    int width = -1;
    int precision = -1;
    std::string len;
};

// Reads decimal digits at p into n and spec.text; returns the end.
const wchar_t* ReadDigits(const wchar_t* p, int& n, Spec& spec)
{
    for (n = 0; *p >= L'0' && *p <= L'9'; ++p) {
        n = n * 10 + (*p - L'0');
        spec.text.push_back(static_cast<char>(*p));
    }
    return p;
}

// Reads what stands between '%' and the conversion character, taking a '*'
// width or precision from the arguments; returns where the conversion stands.
const wchar_t* ReadSpec(const wchar_t* p, va_list* ap, Spec& spec)
{
    for (; *p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0'; ++p) {
        spec.bLeft = spec.bLeft || *p == L'-';
        spec.text.push_back(static_cast<char>(*p));
    }
    if (*p == L'*') {
        spec.width = va_arg(*ap, int);
        if (spec.width < 0) {
            spec.bLeft = true;
            spec.text.push_back('-');
            spec.width = -spec.width;
        }
        spec.text += std::to_string(spec.width);
        ++p;
    } else if (*p >= L'0' && *p <= L'9') {
        p = ReadDigits(p, spec.width, spec);
    }
    if (*p == L'.') {
        spec.text.push_back('.');
        ++p;
        if (*p == L'*') {
            spec.precision = va_arg(*ap, int);
            spec.text += std::to_string(spec.precision < 0 ? 0 : spec.precision);
            ++p;
        } else {
            p = ReadDigits(p, spec.precision, spec);
        }
    }
    while (*p == L'h' || *p == L'l' || *p == L'z' || *p == L'j' || *p == L't' || *p == L'L')
        spec.len.push_back(static_cast<char>(*p++));
    return p;
}

// Formats one conversion; false when conv is none this supports (%n is
// deliberately not).
bool FormatConversion(std::wstring& out, wchar_t conv, Spec& spec, va_list* ap)
{
    switch (conv) {
    case L'd':
    case L'i':
        spec.text += spec.len + 'd';
        FormatInteger<int, long, long long, std::ptrdiff_t>(out, spec.text, spec.len, ap);
        return true;
    case L'u':
    case L'x':
    case L'X':
    case L'o':
        spec.text += spec.len + static_cast<char>(conv);
        FormatInteger<unsigned, unsigned long, unsigned long long, size_t>(out, spec.text, spec.len,
                                                                           ap);
        return true;
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        spec.text.push_back(static_cast<char>(conv));
        if (spec.len == "L")
            FormatNumber(out, spec.text, va_arg(*ap, long double));
        else
            FormatNumber(out, spec.text, va_arg(*ap, double));
        return true;
    case L'p':
        FormatNumber(out, "%p", va_arg(*ap, void*));
        return true;
    case L'c': {
        const wchar_t ch = static_cast<wchar_t>(va_arg(*ap, int));
        AppendPadded(out, &ch, 1, spec.width, spec.bLeft);
        return true;
    }
    case L's': {
        const wchar_t* s = va_arg(*ap, const wchar_t*);
        if (s == nullptr)
            s = L"(null)";
        size_t n = std::wcslen(s);
        if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < n)
            n = static_cast<size_t>(spec.precision);
        AppendPadded(out, s, n, spec.width, spec.bLeft);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

void FormatV(std::wstring& out, const wchar_t* fmt, va_list args)
{
    if (fmt == nullptr)
        return;
    va_list ap;
    va_copy(ap, args);
    for (const wchar_t* p = fmt; *p != L'\0'; ++p) {
        if (*p != L'%') {
            out.push_back(*p);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.push_back(L'%');
            continue;
        }
        Spec spec;
        p = ReadSpec(p, &ap, spec);
        if (FormatConversion(out, *p, spec, &ap))
            continue;
        // Unknown or truncated conversion: keep the text as it stands.
        if (*p == L'\0') {
            out.append(start);
            break;
        }
        out.append(start, static_cast<size_t>(p - start + 1));
    }
    va_end(ap);
}

}  // namespace ZkText
