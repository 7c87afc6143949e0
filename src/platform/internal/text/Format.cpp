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

void Pad(std::wstring& out, size_t n, wchar_t c)
{
    out.append(n, c);
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
        std::string spec = "%";
        bool leftAlign = false;
        while (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0') {
            if (*p == L'-')
                leftAlign = true;
            spec.push_back(static_cast<char>(*p++));
        }
        int width = -1;
        if (*p == L'*') {
            width = va_arg(ap, int);
            if (width < 0) {
                leftAlign = true;
                spec.push_back('-');
                width = -width;
            }
            spec += std::to_string(width);
            ++p;
        } else if (*p >= L'0' && *p <= L'9') {
            width = 0;
            while (*p >= L'0' && *p <= L'9') {
                width = width * 10 + (*p - L'0');
                spec.push_back(static_cast<char>(*p++));
            }
        }
        int precision = -1;
        if (*p == L'.') {
            spec.push_back('.');
            ++p;
            precision = 0;
            if (*p == L'*') {
                precision = va_arg(ap, int);
                spec += std::to_string(precision < 0 ? 0 : precision);
                ++p;
            } else {
                while (*p >= L'0' && *p <= L'9') {
                    precision = precision * 10 + (*p - L'0');
                    spec.push_back(static_cast<char>(*p++));
                }
            }
        }
        // Length modifier.
        std::string len;
        while (*p == L'h' || *p == L'l' || *p == L'z' || *p == L'j' || *p == L't' || *p == L'L')
            len.push_back(static_cast<char>(*p++));
        const wchar_t conv = *p;
        switch (conv) {
        case L'd':
        case L'i':
            spec += len;
            spec.push_back('d');
            FormatInteger<int, long, long long, std::ptrdiff_t>(out, spec, len, &ap);
            break;
        case L'u':
        case L'x':
        case L'X':
        case L'o':
            spec += len;
            spec.push_back(static_cast<char>(conv));
            FormatInteger<unsigned, unsigned long, unsigned long long, size_t>(out, spec, len, &ap);
            break;
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
        case L'a':
        case L'A':
            spec.push_back(static_cast<char>(conv));
            if (len == "L")
                FormatNumber(out, spec, va_arg(ap, long double));
            else
                FormatNumber(out, spec, va_arg(ap, double));
            break;
        case L'p':
            FormatNumber(out, "%p", va_arg(ap, void*));
            break;
        case L'c': {
            const wchar_t ch = static_cast<wchar_t>(va_arg(ap, int));
            const size_t pad = width > 1 ? static_cast<size_t>(width - 1) : 0;
            if (!leftAlign)
                Pad(out, pad, L' ');
            out.push_back(ch);
            if (leftAlign)
                Pad(out, pad, L' ');
            break;
        }
        case L's': {
            const wchar_t* s = va_arg(ap, const wchar_t*);
            if (s == nullptr)
                s = L"(null)";
            size_t n = std::wcslen(s);
            if (precision >= 0 && static_cast<size_t>(precision) < n)
                n = static_cast<size_t>(precision);
            const size_t pad =
                (width > 0 && static_cast<size_t>(width) > n) ? static_cast<size_t>(width) - n : 0;
            if (!leftAlign)
                Pad(out, pad, L' ');
            out.append(s, n);
            if (leftAlign)
                Pad(out, pad, L' ');
            break;
        }
        default:
            // Unknown or truncated conversion: keep the text as it stands.
            // %n is deliberately not supported.
            if (conv == L'\0') {
                out.append(start);
                va_end(ap);
                return;
            }
            out.append(start, static_cast<size_t>(p - start + 1));
            break;
        }
    }
    va_end(ap);
}

}  // namespace ZkText
