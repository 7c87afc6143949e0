#pragma once

#include <string>
#include <type_traits>

#include "platform/ZkExport.h"
#include "platform/ZkNames.h"

struct ZkCStringAccess;

namespace ZkNd {

// Wide text as the host's string class offers it. The characters are UTF-16
// code units on every platform: where wchar_t is 32-bit, text taken in from a
// `const wchar_t*` has its supplementary characters split into surrogate
// pairs, so lengths, positions and ordinal order are those of UTF-16.
//
// Exported member by member: the members that differ in a module with MFC
// (platform/ZkNames.h) are inline and never come from the library.
class CString {
public:
    CString() = default;
    ZKND_API CString(const wchar_t* psz);  // a null pointer is the empty text
    // The first nLength units of pch (none when nLength <= 0).
    ZKND_API CString(const wchar_t* pch, int nLength);
    ZKND_API CString(wchar_t ch, int nRepeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    ZKND_API CString& operator=(const wchar_t* psz);

    ZKND_API CString& operator+=(const CString& s);
    ZKND_API CString& operator+=(const wchar_t* psz);
    ZKND_API CString& operator+=(wchar_t ch);

    // Length in UTF-16 code units.
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    const wchar_t* GetString() const { return m_str.c_str(); }
#if ZKND_GLOBAL_MFC_NAMES
    operator const wchar_t*() const
    {
        return m_str.c_str();
    }
#else
    // Beside MFC the text goes out as MFC's CString, so that its constructors
    // and operators take ours; a cast, `(LPCWSTR)s`, still gives the pointer.
    explicit operator const wchar_t*() const
    {
        return m_str.c_str();
    }
    operator ::CString() const
    {
        return ::CString(GetString());
    }
#endif
    // Out-of-range positions give 0 instead of undefined behaviour.
    ZKND_API wchar_t GetAt(int nIndex) const;
    // Out-of-range positions are ignored.
    ZKND_API void SetAt(int nIndex, wchar_t ch);

    // Ordinal comparison of code units taken as unsigned 16-bit numbers:
    // negative, 0 or positive. A null pointer compares as the empty text.
    ZKND_API int Compare(const wchar_t* psz) const;
    ZKND_API int Compare(const CString& s) const;
    // As Compare, with ASCII letters folded to lower case.
    ZKND_API int CompareNoCase(const wchar_t* psz) const;
    ZKND_API int CompareNoCase(const CString& s) const;

    // Position of the first occurrence at or after nStart, or -1.
    ZKND_API int Find(const wchar_t* pszSub, int nStart = 0) const;
    ZKND_API int Find(wchar_t ch, int nStart = 0) const;

    // Removes up to nCount units from nIndex; returns the new length.
    ZKND_API int Delete(int nIndex, int nCount = 1);

    // printf-style formatting with wide arguments: %s (const wchar_t*),
    // %c, %d/%i, %u, %x/%X, %o, %f/%e/%g, %%, with flags, width and precision,
    // and the l/ll/h/z length modifiers. Pass a CString as `(const wchar_t*)s`.
    ZKND_API void Format(const wchar_t* pszFormat, ...);

private:
    friend struct ::ZkCStringAccess;
    std::wstring m_str;
};

ZKND_API CString operator+(const CString& a, const CString& b);
// Ordinal equality.
ZKND_API bool operator==(const CString& a, const CString& b);
inline bool operator!=(const CString& a, const CString& b)
{
    return !(a == b);
}
// Ordinal order, as Compare gives it (a CString as a std::map key).
inline bool operator<(const CString& a, const CString& b)
{
    return a.Compare(b) < 0;
}
inline bool operator>(const CString& a, const CString& b)
{
    return a.Compare(b) > 0;
}
inline bool operator<=(const CString& a, const CString& b)
{
    return a.Compare(b) <= 0;
}
inline bool operator>=(const CString& a, const CString& b)
{
    return a.Compare(b) >= 0;
}

// With a wide text on one side; these keep `s == L"x"` unambiguous.
#if ZKND_GLOBAL_MFC_NAMES
inline CString operator+(const CString& a, const wchar_t* b)
{
    CString r(a);
    r += b;
    return r;
}
inline CString operator+(const wchar_t* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
inline bool operator==(const CString& a, const wchar_t* b)
{
    return a.Compare(b) == 0;
}
inline bool operator==(const wchar_t* a, const CString& b)
{
    return b.Compare(a) == 0;
}
inline bool operator!=(const CString& a, const wchar_t* b)
{
    return a.Compare(b) != 0;
}
inline bool operator!=(const wchar_t* a, const CString& b)
{
    return b.Compare(a) != 0;
}
inline bool operator<(const CString& a, const wchar_t* b)
{
    return a.Compare(b) < 0;
}
inline bool operator<(const wchar_t* a, const CString& b)
{
    return b.Compare(a) > 0;
}
inline bool operator>(const CString& a, const wchar_t* b)
{
    return a.Compare(b) > 0;
}
inline bool operator>(const wchar_t* a, const CString& b)
{
    return b.Compare(a) < 0;
}
inline bool operator<=(const CString& a, const wchar_t* b)
{
    return a.Compare(b) <= 0;
}
inline bool operator<=(const wchar_t* a, const CString& b)
{
    return b.Compare(a) >= 0;
}
inline bool operator>=(const CString& a, const wchar_t* b)
{
    return a.Compare(b) >= 0;
}
inline bool operator>=(const wchar_t* a, const CString& b)
{
    return b.Compare(a) <= 0;
}
#else
// Beside MFC only a real wide pointer or array is taken here: MFC's CString
// also converts to one, and would then find these as well as its own.
template <class Text>
using IfWideText = std::enable_if_t<
    std::is_same<Text, const wchar_t*>::value || std::is_same<Text, wchar_t*>::value, int>;
// MFC's CString itself, and nothing that converts to it, meets ours here,
// whichever way MFC declares its own operators: joined, the text is MFC's,
// as MFC's + gives it.
template <class Text>
using IfMfcText = std::enable_if_t<std::is_same<Text, ::CString>::value, int>;

template <class Text, IfMfcText<Text> = 0>
::CString operator+(const CString& a, const Text& b)
{
    CString r(a);
    r += b.GetString();
    return r;
}
template <class Text, IfMfcText<Text> = 0>
::CString operator+(const Text& a, const CString& b)
{
    CString r(a.GetString());
    r += b;
    return r;
}
template <class Text, IfMfcText<Text> = 0>
bool operator==(const CString& a, const Text& b)
{
    return a.Compare(b.GetString()) == 0;
}
template <class Text, IfMfcText<Text> = 0>
bool operator==(const Text& a, const CString& b)
{
    return b.Compare(a.GetString()) == 0;
}
template <class Text, IfMfcText<Text> = 0>
bool operator!=(const CString& a, const Text& b)
{
    return a.Compare(b.GetString()) != 0;
}
template <class Text, IfMfcText<Text> = 0>
bool operator!=(const Text& a, const CString& b)
{
    return b.Compare(a.GetString()) != 0;
}

template <class Text, IfWideText<Text> = 0>
CString operator+(const CString& a, Text b)
{
    CString r(a);
    r += b;
    return r;
}
template <class Text, IfWideText<Text> = 0>
CString operator+(Text a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
template <class Text, IfWideText<Text> = 0>
bool operator==(const CString& a, Text b)
{
    return a.Compare(b) == 0;
}
template <class Text, IfWideText<Text> = 0>
bool operator==(Text a, const CString& b)
{
    return b.Compare(a) == 0;
}
template <class Text, IfWideText<Text> = 0>
bool operator!=(const CString& a, Text b)
{
    return a.Compare(b) != 0;
}
template <class Text, IfWideText<Text> = 0>
bool operator!=(Text a, const CString& b)
{
    return b.Compare(a) != 0;
}
template <class Text, IfWideText<Text> = 0>
bool operator<(const CString& a, Text b)
{
    return a.Compare(b) < 0;
}
template <class Text, IfWideText<Text> = 0>
bool operator<(Text a, const CString& b)
{
    return b.Compare(a) > 0;
}
#endif

}  // namespace ZkNd

#if ZKND_GLOBAL_MFC_NAMES
using ZkNd::CString;
using ZkNd::operator+;
using ZkNd::operator==;
using ZkNd::operator!=;
using ZkNd::operator<;
using ZkNd::operator>;
using ZkNd::operator<=;
using ZkNd::operator>=;
#endif
