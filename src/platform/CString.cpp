#include "platform/CString.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/internal/text/Unicode.h"

namespace {

size_t Len(const wchar_t* psz)
{
    return psz == nullptr ? 0 : std::wcslen(psz);
}

}  // namespace

namespace ZkNd {

CString::CString(const wchar_t* psz)
{
    ZkText::AppendUnits(m_str, psz, Len(psz));
}

CString::CString(const wchar_t* pch, int nLength)
{
    if (nLength > 0)
        ZkText::AppendUnits(m_str, pch, static_cast<size_t>(nLength));
}

CString::CString(wchar_t ch, int nRepeat)
{
    for (int i = 0; i < nRepeat; ++i)
        ZkText::AppendUnits(m_str, &ch, 1);
}

CString& CString::operator=(const wchar_t* psz)
{
    if (psz != nullptr && psz >= m_str.c_str() && psz <= m_str.c_str() + m_str.size()) {
        // Assigning from our own buffer: copy first.
        std::wstring tmp(psz);
        m_str.swap(tmp);
        return *this;
    }
    m_str.clear();
    ZkText::AppendUnits(m_str, psz, Len(psz));
    return *this;
}

CString& CString::operator+=(const CString& s)
{
    m_str += s.m_str;
    return *this;
}

CString& CString::operator+=(const wchar_t* psz)
{
    return *this += CString(psz);
}

CString& CString::operator+=(wchar_t ch)
{
    ZkText::AppendUnits(m_str, &ch, 1);
    return *this;
}

wchar_t CString::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetLength())
        return 0;
    return m_str[static_cast<size_t>(nIndex)];
}

void CString::SetAt(int nIndex, wchar_t ch)
{
    if (nIndex >= 0 && nIndex < GetLength())
        m_str[static_cast<size_t>(nIndex)] = ch;
}

int CString::Compare(const wchar_t* psz) const
{
    return Compare(CString(psz));
}

int CString::Compare(const CString& s) const
{
    return ZkText::CompareOrdinal(m_str.data(), m_str.size(), s.m_str.data(), s.m_str.size());
}

int CString::CompareNoCase(const wchar_t* psz) const
{
    return CompareNoCase(CString(psz));
}

int CString::CompareNoCase(const CString& s) const
{
    return ZkText::CompareOrdinalNoCase(m_str.data(), m_str.size(), s.m_str.data(), s.m_str.size());
}

int CString::Find(const wchar_t* pszSub, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    const CString sub(pszSub);
    const size_t pos = m_str.find(sub.m_str, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t ch, int nStart) const
{
    const CString sub(ch);
    return Find(sub.GetString(), nStart);
}

int CString::Delete(int nIndex, int nCount)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nCount > 0 && nIndex < GetLength())
        m_str.erase(static_cast<size_t>(nIndex), static_cast<size_t>(nCount));
    return GetLength();
}

void CString::Format(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::wstring out;
    ZkText::FormatV(out, pszFormat, args);
    va_end(args);
    m_str.clear();
    ZkText::AppendUnits(m_str, out.data(), out.size());
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b)
{
    return a.Compare(b) == 0;
}

}  // namespace ZkNd
