#pragma once

// Text helpers inside the library (not exported). Wide text here is always a
// sequence of UTF-16 code units held in wchar_t, whatever the width of wchar_t.

#include <cstdarg>
#include <cstddef>
#include <string>

#include "platform/CString.h"

// The library's own way into a CString's storage.
struct ZkCStringAccess {
    static std::wstring& Units(CString& s) { return s.m_str; }
};

namespace ZkText {

inline wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline unsigned Unit(wchar_t c)
{
    return static_cast<unsigned>(c) & 0xFFFFu;
}

// Ordinal comparison of UTF-16 code units as unsigned 16-bit numbers; a proper
// prefix comes first. Returns negative, 0 or positive.
int CompareOrdinal(const wchar_t* a, size_t na, const wchar_t* b, size_t nb);
int CompareOrdinalNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb);

// printf-style formatting into out (appends); see CString::Format. In
// TextFormat.cpp.
void FormatV(std::wstring& out, const wchar_t* fmt, va_list args);

// Writes the code point as 1 to 4 bytes of UTF-8; returns the end.
char* EncodeUtf8(char* out, unsigned long c);

// Conversions between UTF-16 code units and UTF-8. A lone surrogate becomes
// U+FFFD; invalid UTF-8 sequences become U+FFFD each.
std::string Utf16ToUtf8(const wchar_t* p, size_t n);
std::wstring Utf8ToUtf16(const char* p, size_t n);
// Replaces out with the n bytes of UTF-8 at p, straight into its storage. An
// invalid sequence, and a control character other than TAB, LF and CR (which
// only a rewritten character reference leaves in parsed text), become U+FFFD.
void AssignUtf8(std::wstring& out, const char* p, size_t n);

}  // namespace ZkText
