#pragma once

// A test program's arguments as the library's text: wide on Windows whatever
// the code page; elsewhere each byte one unit, which serves the ASCII texts
// the tests pass. Paths stay in the system's form.

#include <vector>

#include "platform/CString.h"
#include "platform/ZkPath.h"

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
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
    for (int i = 0; i < argc; ++i) {
        std::wstring text;
        for (const char* p = argv[i]; *p != '\0'; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        out.emplace_back(text.c_str());
    }
#endif
    return out;
}
