#include "platform/ZkPath.h"

#include <algorithm>

#include "platform/internal/text/Unicode.h"

ZkNativeString ZkToNativePath(const wchar_t* pszLibraryPath)
{
    const CString units(pszLibraryPath);
#if defined(_WIN32)
    return ZkNativeString(units.GetString(), static_cast<size_t>(units.GetLength()));
#else
    std::string out =
        ZkText::Utf16ToUtf8(units.GetString(), static_cast<size_t>(units.GetLength()));
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
#endif
}

CString ZkFromNativePath(const ZkNativeString& nativePath)
{
#if defined(_WIN32)
    std::wstring units = nativePath;
#else
    std::wstring units = ZkText::Utf8ToUtf16(nativePath.data(), nativePath.size());
#endif
    std::replace(units.begin(), units.end(), L'/', L'\\');
    // Already UTF-16 units: taken over without splitting them again.
    return CString(units.c_str(), static_cast<int>(units.size()));
}
