#pragma once

// A test program's arguments as the library's text: wide on Windows whatever
// the code page, decoded from UTF-8 elsewhere; paths stay native.

#include <vector>

#include "platform/CString.h"
#include "platform/ZkPath.h"

#if defined(_WIN32)
#include <shellapi.h>
#include <windows.h>
#endif

inline std::vector<CString> ProgramArguments(int argc, char** argv)
{
    std::vector<CString> out;
#if defined(_WIN32)
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    for (int i = 0; i < n; ++i)
        out.emplace_back(wide[i]);
    LocalFree(wide);
    (void)argc;
    (void)argv;
#else
    // As given: ZkFromNativePath would turn '/' into '\'.
    for (int i = 0; i < argc; ++i) {
        std::wstring text;
        for (const char* p = argv[i]; *p != '\0'; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        out.emplace_back(text.c_str());
    }
#endif
    return out;
}
