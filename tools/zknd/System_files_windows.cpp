// File times and a rename that never replaces, on Windows.
#include <windows.h>

#include "Files.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

int64_t Ticks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

bool Times(const fs::path& file, WIN32_FILE_ATTRIBUTE_DATA& data)
{
    return GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) != 0;
}

}  // namespace

bool WrittenAt(const fs::path& file, int64_t& nTime)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Times(file, data))
        return false;
    nTime = Ticks(data.ftLastWriteTime);
    return true;
}

bool MadeOrWrittenAt(const fs::path& file, int64_t& nTime)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Times(file, data))
        return false;
    const int64_t nWritten = Ticks(data.ftLastWriteTime);
    const int64_t nMade = Ticks(data.ftCreationTime);
    nTime = nWritten > nMade ? nWritten : nMade;
    return true;
}

bool CopyToNewFile(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    ec.clear();
    // Fails when `to` exists.
    if (CopyFileW(from.c_str(), to.c_str(), TRUE) != 0)
        return true;
    const DWORD nError = GetLastError();
    if (nError == ERROR_ALREADY_EXISTS || nError == ERROR_FILE_EXISTS) {
        ec = std::make_error_code(std::errc::file_exists);
        return false;
    }
    ec.assign(static_cast<int>(nError), std::system_category());
    // `to` was not there before (the copy would have failed for that): what
    // stands there now is a copy that failed half way.
    DeleteFileW(to.c_str());
    return false;
}

void WriteOut(const fs::path&)
{
    // CopyFileW has written each file through by the time it returns.
}

bool RenameNoReplace(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    ec.clear();
    // Without MOVEFILE_REPLACE_EXISTING the system refuses an existing target.
    if (MoveFileExW(from.c_str(), to.c_str(), 0) != 0)
        return true;
    const DWORD nError = GetLastError();
    if (nError == ERROR_ALREADY_EXISTS || nError == ERROR_FILE_EXISTS)
        ec = std::make_error_code(std::errc::file_exists);
    else
        ec.assign(static_cast<int>(nError), std::system_category());
    return false;
}

}  // namespace zknd
