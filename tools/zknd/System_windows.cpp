// What zknd asks of Windows: its console, its wide command line and the
// entries of a folder.
#include <windows.h>
// shellapi.h needs what windows.h defines.
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "Folder.h"
#include "Output.h"
#include "Utf.h"

namespace zknd {

namespace {

// A console gets wide text, whatever its code page; a file or a pipe UTF-8.
void Write(DWORD nStream, const std::string& utf8)
{
    HANDLE h = GetStdHandle(nStream);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    DWORD done = 0;
    if (GetConsoleMode(h, &mode)) {
        const std::wstring wide = ZkUtf::Wide(utf8);
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
    } else {
        WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    }
}

class Console : public Output {
public:
    void Out(const std::string& utf8) override { Write(STD_OUTPUT_HANDLE, utf8); }
    void Err(const std::string& utf8) override { Write(STD_ERROR_HANDLE, utf8); }
    bool ErrIsTerminal() const override
    {
        DWORD mode = 0;
        return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    }
};

}  // namespace

std::unique_ptr<Output> MakeConsole()
{
    return std::make_unique<Console>();
}

// The wide command line: argv holds it in the ANSI code page, which loses
// names that the code page cannot spell.
std::vector<std::string> CommandLineArguments(int, char**)
{
    std::vector<std::string> args;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv != nullptr && i < argc; ++i)
        args.push_back(ZkUtf::Utf8(argv[i], std::wcslen(argv[i])));
    LocalFree(argv);
    return args;
}

bool ListFolder(const std::filesystem::path& folder,
                const std::function<void(std::string_view, bool)>& fnEntry)
{
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data,
                                FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string name;
    do {
        const wchar_t* pszName = data.cFileName;
        if (std::wcscmp(pszName, L".") == 0 || std::wcscmp(pszName, L"..") == 0)
            continue;
        // Names are ASCII as a rule: converted without a call to the system.
        name.clear();
        for (const wchar_t* p = pszName; *p != 0 && *p < 0x80; ++p)
            name += static_cast<char>(*p);
        if (pszName[name.size()] != 0)
            name = ZkUtf::Utf8(pszName, std::wcslen(pszName));
        const DWORD nNotRegular = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
        fnEntry(name, (data.dwFileAttributes & nNotRegular) == 0);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return true;
}

// Windows' own comparison of names folds more than ASCII, but the names
// compared here are GUIDs and their extensions.
bool SystemEqual(const char* a, const char* b, size_t n)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < n; ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

}  // namespace zknd
