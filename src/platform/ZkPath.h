#pragma once

// The library names files in its own path form on every platform: wide text
// with backslashes, e.g. L"D:\\Product\\Data\\" or, on Linux,
// L"\\srv\\product\\Data\\". A program that opens such a file itself, or
// hands the library a folder it found on disk, converts with these two.

#include <string>

#include "platform/CString.h"
#include "platform/ZkExport.h"

// A path as the operating system takes it: UTF-16 on Windows, UTF-8 bytes
// elsewhere.
#if defined(_WIN32)
using ZkNativeString = std::wstring;
#else
using ZkNativeString = std::string;  // UTF-8
#endif

// A library path as a native one. On Linux each backslash becomes '/' and the
// text is encoded as UTF-8 (a lone surrogate becomes U+FFFD); on Windows the
// text is kept as it is. A null pointer gives the empty path.
ZKND_API ZkNativeString ZkToNativePath(const wchar_t* pszLibraryPath);

// True when the text, appended to a folder, names a file of its own in that
// folder on every system the library runs on: not empty, "." or "..", no path
// separator ('\\' or '/') or drive colon, no control character or character
// Windows forbids in names (<>"|?*), no trailing dot or space (Windows drops
// them, naming another file), and no device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, letter case ignored, with or without an extension). CopyNode copies
// no file of a GUID text that fails. When false and ppszWhy is not null,
// *ppszWhy is a short English reason, e.g. "it holds a path separator".
ZKND_API bool ZkIsPlainFileName(const wchar_t* pszName, const wchar_t** ppszWhy = nullptr);

// A native path in the library's form: each '/' becomes a backslash, and on
// Linux the UTF-8 bytes are decoded (an invalid sequence becomes U+FFFD). A
// folder gains no trailing backslash; append one before adding a file name.
ZKND_API ZkNd::CString ZkFromNativePath(const ZkNativeString& nativePath);
