#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "Folder.h"

namespace zknd {

std::vector<FolderEntry> ListFolder(const std::filesystem::path& folder)
{
    std::vector<FolderEntry> vecEntry;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data,
                                FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE)
        return vecEntry;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const int n = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                          nullptr, 0, nullptr, nullptr);
        std::string strName(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), &strName[0], n,
                            nullptr, nullptr);
        const bool bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        vecEntry.push_back(FolderEntry{std::move(strName), !bFolder});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return vecEntry;
}

}  // namespace zknd
