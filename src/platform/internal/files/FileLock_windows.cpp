#include "platform/internal/files/FileLock.h"

#include <string>

#include "platform/internal/files/Os.h"

namespace ZkFileSystem {

using detail::Fail;

namespace {

// The byte locked: far beyond any end of file, so that no read of the
// file's content meets the lock.
const DWORD kLockOffsetLow = 0xFFFFFFFEu;
const DWORD kLockOffsetHigh = 0x7FFFFFFFu;

HANDLE Handle(std::intptr_t file)
{
    return reinterpret_cast<HANDLE>(file);
}

bool Identity(HANDLE h, BY_HANDLE_FILE_INFORMATION& info)
{
    return GetFileInformationByHandle(h, &info) != 0;
}

}  // namespace

std::chrono::milliseconds FileLock::ReplaceGap()
{
    // ReplaceFileW of a file that is open (as a locked file is) moves it
    // away before the new one takes its name; Wine does so in three calls.
    return std::chrono::milliseconds(250);
}

int FileLock::TryLock(const wchar_t* path, FileError* pError)
{
    if (m_file == -1) {
        const std::wstring native = ZkToNativePath(path);
        const DWORD attr = GetFileAttributesW(native.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES)
            return Fail(pError, GetLastError()), -1;
        if ((attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
            return Fail(pError, FileStatus::kNotRegular, 0), -1;
        // Shared with everything: readers go on reading, and the save that
        // holds the lock replaces the file (ReplaceFileW) while it is open.
        HANDLE h = CreateFileW(native.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return Fail(pError, GetLastError()), -1;
        m_file = reinterpret_cast<std::intptr_t>(h);
        if (GetFileType(h) != FILE_TYPE_DISK)
            return Fail(pError, FileStatus::kNotRegular, 0), -1;
    }
    OVERLAPPED at = {};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(Handle(m_file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at))
        return 1;
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
        return 0;
    return Fail(pError, code), -1;
}

bool FileLock::StillNamed(const wchar_t* path) const
{
    BY_HANDLE_FILE_INFORMATION held;
    BY_HANDLE_FILE_INFORMATION named;
    if (!Identity(Handle(m_file), held))
        return false;
    HANDLE h = CreateFileW(ZkToNativePath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = Identity(h, named);
    CloseHandle(h);
    return ok && held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
}

bool FileLock::ReadSome(char* p, size_t n, size_t& nRead, bool bRewind, FileError* pError)
{
    HANDLE h = Handle(m_file);
    LARGE_INTEGER zero = {};
    if (bRewind && !SetFilePointerEx(h, zero, nullptr, FILE_BEGIN))
        return Fail(pError, GetLastError());
    const size_t kMax = 0x10000000u;  // ReadFile takes a 32-bit count
    DWORD got = 0;
    if (!::ReadFile(h, p, static_cast<DWORD>(n > kMax ? kMax : n), &got, nullptr))
        return Fail(pError, GetLastError());
    nRead = got;
    return true;
}

unsigned long long FileLock::SizeNow() const
{
    LARGE_INTEGER size;
    return GetFileSizeEx(Handle(m_file), &size) && size.QuadPart > 0
               ? static_cast<unsigned long long>(size.QuadPart)
               : 0;
}

void FileLock::Close()
{
    // Closing the handle releases its lock.
    if (m_file != -1)
        CloseHandle(Handle(m_file));
    m_file = -1;
}

}  // namespace ZkFileSystem
