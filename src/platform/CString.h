#pragma once

#include <string>

#include "platform/ZkExport.h"

// Wide text as the host's string class offers it. The characters are UTF-16
// code units on every platform: where wchar_t is 32-bit, text taken in from a
// `const wchar_t*` has its supplementary characters split into surrogate
// pairs, so lengths, positions and ordinal order are those of UTF-16.
class ZKND_API CString {
public:
    CString() = default;
    CString(const wchar_t* psz);  // a null pointer is the empty text
    // The first nLength units of pch (none when nLength <= 0).
    CString(const wchar_t* pch, int nLength);
    CString(wchar_t ch, int nRepeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const wchar_t* psz);

    CString& operator+=(const CString& s);
    CString& operator+=(const wchar_t* psz);
    CString& operator+=(wchar_t ch);

    // Length in UTF-16 code units.
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    const wchar_t* GetString() const { return m_str.c_str(); }
    operator const wchar_t*() const { return m_str.c_str(); }
    // Out-of-range positions give 0 instead of undefined behaviour.
    wchar_t GetAt(int nIndex) const;
    // Out-of-range positions are ignored.
    void SetAt(int nIndex, wchar_t ch);

    // Ordinal comparison of code units taken as unsigned 16-bit numbers:
    // negative, 0 or positive. A null pointer compares as the empty text.
    int Compare(const wchar_t* psz) const;
    int Compare(const CString& s) const;
    // As Compare, with ASCII letters folded to lower case.
    int CompareNoCase(const wchar_t* psz) const;
    int CompareNoCase(const CString& s) const;

    // Position of the first occurrence at or after nStart, or -1.
    int Find(const wchar_t* pszSub, int nStart = 0) const;
    int Find(wchar_t ch, int nStart = 0) const;

    // Removes up to nCount units from nIndex; returns the new length.
    int Delete(int nIndex, int nCount = 1);

    // printf-style formatting with wide arguments: %s (const wchar_t*),
    // %c, %d/%i, %u, %x/%X, %o, %f/%e/%g, %%, with flags, width and precision,
    // and the l/ll/h/z length modifiers. Pass a CString as `(const wchar_t*)s`.
    void Format(const wchar_t* pszFormat, ...);

private:
    friend struct ZkCStringAccess;
    std::wstring m_str;
};

ZKND_API CString operator+(const CString& a, const CString& b);
ZKND_API CString operator+(const CString& a, const wchar_t* b);
ZKND_API CString operator+(const wchar_t* a, const CString& b);
// Ordinal equality; the mixed overloads keep `s == L"x"` unambiguous.
ZKND_API bool operator==(const CString& a, const CString& b);
ZKND_API bool operator==(const CString& a, const wchar_t* b);
ZKND_API bool operator==(const wchar_t* a, const CString& b);
ZKND_API bool operator!=(const CString& a, const CString& b);
ZKND_API bool operator!=(const CString& a, const wchar_t* b);
ZKND_API bool operator!=(const wchar_t* a, const CString& b);
