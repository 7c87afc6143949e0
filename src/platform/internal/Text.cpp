#include "platform/internal/Text.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace ZkText {

int CompareOrdinal(const wchar_t* a, size_t na, const wchar_t* b, size_t nb)
{
    const size_t n = na < nb ? na : nb;
    for (size_t i = 0; i < n; ++i) {
        const unsigned ca = Unit(a[i]);
        const unsigned cb = Unit(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

int CompareOrdinalNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb)
{
    const size_t n = na < nb ? na : nb;
    for (size_t i = 0; i < n; ++i) {
        const unsigned ca = Unit(FoldAscii(a[i]));
        const unsigned cb = Unit(FoldAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

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
            if (len == "l")
                FormatNumber(out, spec, va_arg(ap, long));
            else if (len == "ll" || len == "j")
                FormatNumber(out, spec, va_arg(ap, long long));
            else if (len == "z" || len == "t")
                FormatNumber(out, spec, va_arg(ap, std::ptrdiff_t));
            else
                FormatNumber(out, spec, va_arg(ap, int));
            break;
        case L'u':
        case L'x':
        case L'X':
        case L'o':
            spec += len;
            spec.push_back(static_cast<char>(conv));
            if (len == "l")
                FormatNumber(out, spec, va_arg(ap, unsigned long));
            else if (len == "ll" || len == "j")
                FormatNumber(out, spec, va_arg(ap, unsigned long long));
            else if (len == "z" || len == "t")
                FormatNumber(out, spec, va_arg(ap, size_t));
            else
                FormatNumber(out, spec, va_arg(ap, unsigned));
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

std::string Utf16ToUtf8(const wchar_t* p, size_t n)
{
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        unsigned long c = Unit(p[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && Unit(p[i + 1]) >= 0xDC00 &&
            Unit(p[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Unit(p[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring Utf8ToUtf16(const char* p, size_t n)
{
    std::wstring out;
    out.reserve(n);
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    size_t i = 0;
    while (i < n) {
        const unsigned b0 = s[i];
        unsigned long c = 0xFFFD;
        size_t len = 1;
        auto cont = [&](size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
        if (b0 < 0x80) {
            c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
            c = ((b0 & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
            const unsigned long v =
                ((b0 & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
                c = v;
                len = 3;
            }
        } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
            const unsigned long v = ((b0 & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                                    ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                c = v;
                len = 4;
            }
        }
        if (c >= 0x10000) {
            const unsigned long v = c - 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
        i += len;
    }
    return out;
}

}  // namespace ZkText
