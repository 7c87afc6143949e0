#include "platform/ZkHost.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <system_error>

#include "platform/internal/FileSystem.h"
#include "platform/internal/Os.h"
#include "platform/internal/Text.h"

#if defined(_WIN32)
#include <direct.h>
#else
#include <unistd.h>
#include <uuid/uuid.h>
#endif

namespace {

IZkHostApplication* g_pHostApp = nullptr;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// Parses a complete number in [p, p + n), allowing surrounding spaces.
bool ParseDouble(const wchar_t* p, size_t n, double& out)
{
    char buf[128];
    size_t i = 0;
    while (i < n && IsSpace(p[i]))
        ++i;
    size_t end = n;
    while (end > i && IsSpace(p[end - 1]))
        --end;
    if (i < end && p[i] == L'+')
        ++i;
    if (end - i == 0 || end - i >= sizeof buf)
        return false;
    size_t k = 0;
    for (; i < end; ++i) {
        if (ZkText::Unit(p[i]) > 0x7F)
            return false;
        buf[k++] = static_cast<char>(p[i]);
    }
    const auto r = std::from_chars(buf, buf + k, out);
    return r.ec == std::errc() && r.ptr == buf + k;
}

}  // namespace

IZkHostApplication::~IZkHostApplication() = default;

void ZkSetHostApplication(IZkHostApplication* pApp)
{
    g_pHostApp = pApp;
}

IZkHostApplication* ZkGetHostApplication()
{
    return g_pHostApp;
}

CString GetDataDirectory()
{
    if (g_pHostApp != nullptr)
        return g_pHostApp->GetProductDataDirectory();
#if defined(_WIN32)
    wchar_t* cwd = _wgetcwd(nullptr, 0);
    CString dir(cwd);
    free(cwd);
#else
    char* cwd = getcwd(nullptr, 0);
    const std::wstring units = cwd != nullptr
                                   ? ZkText::Utf8ToUtf16(cwd, std::char_traits<char>::length(cwd))
                                   : std::wstring();
    free(cwd);
    CString dir(units.c_str());
    // The library's own path form uses backslashes; the file layer maps back.
    for (int i = 0; i < dir.GetLength(); ++i)
        if (dir.GetAt(i) == L'/')
            dir.SetAt(i, L'\\');
#endif
    if (dir.IsEmpty() || dir.GetAt(dir.GetLength() - 1) != L'\\')
        dir += L'\\';
    return dir;
}

bool ZkIsFileExist(const wchar_t* pszPath)
{
    return pszPath != nullptr && ZkFileSystem::FileExists(pszPath);
}

bool ZkIsNumericText(const wchar_t* psz)
{
    return psz != nullptr && ZkIsNumericText(psz, std::wcslen(psz));
}

bool ZkIsNumericText(const wchar_t* p, size_t n)
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

double ZkTextToDouble(const wchar_t* p, size_t n)
{
    // Longest prefix of the form [space][sign]digits[.digits][e[sign]digits],
    // copied into a bounded stack buffer. Leading zeros are dropped and an
    // integer part too long for the buffer means overflow, so the buffer never
    // needs to grow.
    size_t i = 0;
    while (i < n && IsSpace(p[i]))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == L'+' || p[i] == L'-'))
        negative = p[i++] == L'-';
    char buf[512];
    size_t k = 0;
    const size_t cap = 400;
    bool anyDigit = false;
    while (i < n && p[i] == L'0') {
        ++i;
        anyDigit = true;
    }
    size_t intDigits = 0;
    while (i < n && IsDigit(p[i])) {
        if (intDigits < cap)
            buf[k++] = static_cast<char>(p[i]);
        ++intDigits;
        ++i;
        anyDigit = true;
    }
    if (intDigits > cap)
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (k == 0)
        buf[k++] = '0';
    if (i < n && p[i] == L'.') {
        ++i;
        buf[k++] = '.';
        size_t frac = 0;
        while (i < n && IsDigit(p[i])) {
            if (frac < cap / 2)
                buf[k++] = static_cast<char>(p[i]);
            ++frac;
            ++i;
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (i < n && (p[i] == L'e' || p[i] == L'E')) {
        size_t j = i + 1;
        char exp[16];
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

CString ZkU3ValueToText(const stu3Value& val)
{
    char buf[128];
    char* p = buf;
    char* const end = buf + sizeof buf;
    const double parts[3] = {val.x, val.y, val.z};
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            *p++ = ',';
        p = std::to_chars(p, end, parts[i]).ptr;
    }
    const std::wstring w = ZkText::Utf8ToUtf16(buf, static_cast<size_t>(p - buf));
    return CString(w.c_str());
}

void ZkTextToU3Value(const wchar_t* psz, stu3Value& val)
{
    if (psz == nullptr)
        return;
    const CString text(psz);
    double parts[3];
    int start = 0;
    for (int i = 0; i < 3; ++i) {
        int comma = text.Find(L',', start);
        if ((comma < 0) != (i == 2))
            return;  // not exactly three parts
        if (comma < 0)
            comma = text.GetLength();
        if (!ParseDouble(text.GetString() + start, static_cast<size_t>(comma - start), parts[i]))
            return;
        start = comma + 1;
    }
    val.x = parts[0];
    val.y = parts[1];
    val.z = parts[2];
}

bool NamedValue::operator==(const NamedValue& o) const
{
    if (m_type != o.m_type)
        return false;
    switch (m_type) {
    case kInt:
        return m_int == o.m_int;
    case kDouble:
        return m_double == o.m_double;
    case kBool:
        return m_bool == o.m_bool;
    case kText:
        return m_text.Compare(o.m_text) == 0;
    case kEmpty:
        break;
    }
    return true;
}

bool NamedValueSet::GetAt(int nIndex, CString& strName, NamedValue& value) const
{
    if (nIndex < 0 || nIndex >= Count())
        return false;
    strName = m_entries[static_cast<size_t>(nIndex)].first;
    value = m_entries[static_cast<size_t>(nIndex)].second;
    return true;
}

void NamedValueSet::SetAt(const wchar_t* pszName, const NamedValue& value)
{
    const CString name(pszName);
    for (auto& e : m_entries) {
        if (e.first.Compare(name) == 0) {
            e.second = value;
            return;
        }
    }
    m_entries.emplace_back(name, value);
}

#if !defined(_WIN32)
long CoCreateGuid(GUID* pguid)
{
    if (pguid == nullptr)
        return -1;
    uuid_t u;
    uuid_generate_random(u);
    // Big-endian fields, so the text form matches the uuid's own.
    pguid->Data1 = (static_cast<std::uint32_t>(u[0]) << 24) |
                   (static_cast<std::uint32_t>(u[1]) << 16) |
                   (static_cast<std::uint32_t>(u[2]) << 8) | u[3];
    pguid->Data2 = static_cast<std::uint16_t>((u[4] << 8) | u[5]);
    pguid->Data3 = static_cast<std::uint16_t>((u[6] << 8) | u[7]);
    for (int i = 0; i < 8; ++i)
        pguid->Data4[i] = u[8 + i];
    return 0;
}

double _wtof(const wchar_t* psz)
{
    return psz == nullptr ? 0.0 : ZkTextToDouble(psz, std::wcslen(psz));
}
#endif
