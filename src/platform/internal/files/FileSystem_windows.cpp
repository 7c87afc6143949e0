#include "platform/internal/files/FileSystem.h"

#include <direct.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/internal/files/Os.h"
#include "platform/internal/text/Unicode.h"

namespace ZkFileSystem {

using detail::Fail;

bool detail::Fail(FileError* pError, int code)
{
    const auto c = static_cast<DWORD>(code);
    const FileStatus status =
        c == ERROR_FILE_NOT_FOUND || c == ERROR_PATH_NOT_FOUND ? FileStatus::kMissing
        : c == ERROR_ACCESS_DENIED || c == ERROR_WRITE_PROTECT || c == ERROR_SHARING_VIOLATION ||
                c == ERROR_LOCK_VIOLATION
            ? FileStatus::kNotPermitted
        : c == ERROR_ALREADY_EXISTS || c == ERROR_FILE_EXISTS ? FileStatus::kExists
                                                              : FileStatus::kSystemError;
    return Fail(pError, status, code);
}

namespace {

// Larger requests are split: ReadFile and WriteFile take a 32-bit count.
const size_t kChunk = 0x10000000u;

std::wstring FolderOf(const std::wstring& p)
{
    const size_t pos = p.find_last_of(L"\\/");
    return pos == std::wstring::npos ? std::wstring() : p.substr(0, pos + 1);
}

std::wstring NameOf(const std::wstring& p)
{
    const size_t pos = p.find_last_of(L"\\/");
    return pos == std::wstring::npos ? p : p.substr(pos + 1);
}

// Attributes of an existing regular file (links followed); false with the
// reason for anything else: a folder, a device, a name Windows gives a device.
bool RegularFileAttributes(const std::wstring& path, DWORD& attr, FileError* pError)
{
    const std::wstring name = NameOf(path);
    if (detail::IsDeviceFileName(name.c_str(), name.size()))
        return Fail(pError, FileStatus::kNotRegular, 0);
    attr = GetFileAttributesW(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return Fail(pError, GetLastError());
    if ((attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return Fail(pError, FileStatus::kNotRegular, 0);
    return true;
}

// The file a chain of symbolic links ends at; path itself when it is none.
std::wstring FinalPath(const std::wstring& path)
{
    const DWORD attr = GetFileAttributesW(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    std::vector<wchar_t> buf(1024);
    DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), 0);
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), 0);
    }
    CloseHandle(h);
    return n > 0 && n < buf.size() ? std::wstring(buf.data(), n) : path;
}

bool IsRunning(unsigned long pid)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr)
        return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    const bool bRunning = !GetExitCodeProcess(h, &code) || code == STILL_ACTIVE;
    CloseHandle(h);
    return bRunning;
}

// Removes folder\name.tmp<pid>.<n> files whose process no longer runs.
void RemoveLeftovers(const std::wstring& folder, const std::wstring& name)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + name + L".tmp*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    const unsigned long self = GetCurrentProcessId();
    const auto isGone = [](unsigned long pid) { return !IsRunning(pid); };
    do {
        const auto isReadOnly = [&found] {
            return (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        };
        if (detail::IsLeftoverToRemove<wchar_t>(name, found.cFileName, self, isGone, isReadOnly))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

}  // namespace

std::string DescribeFileError(const FileError& error)
{
    if (error.code == 0)
        return detail::StatusText(error.status);
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error.code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n > 0 ? ZkText::Utf16ToUtf8(text, n) : std::string();
    LocalFree(text);
    // The system's sentence ends in a period and a line break; the reason is
    // shown after a colon, as strerror's is on POSIX systems.
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "Error " + std::to_string(error.code) : out;
}

bool FileExists(const wchar_t* path)
{
    DWORD attr = 0;
    return RegularFileAttributes(ZkToNativePath(path), attr, nullptr);
}

detail::FileReader::~FileReader()
{
    if (m_file != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_file));
}

bool detail::FileReader::Open(const wchar_t* path, FileError* pError)
{
    const std::wstring native = ZkToNativePath(path);
    DWORD attr = 0;
    if (!RegularFileAttributes(native, attr, pError))
        return false;
    // Another process's save may replace the file while it is read.
    HANDLE h = CreateFileW(native.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(pError, GetLastError());
    m_file = reinterpret_cast<std::intptr_t>(h);
    if (GetFileType(h) != FILE_TYPE_DISK)
        return Fail(pError, FileStatus::kNotRegular, 0);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size))
        return Fail(pError, GetLastError());
    m_nSize = size.QuadPart > 0 ? static_cast<unsigned long long>(size.QuadPart) : 0;
    return true;
}

bool detail::FileReader::Read(char* p, size_t n, size_t& nRead, FileError* pError)
{
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(m_file), p,
                    static_cast<DWORD>(n > kChunk ? kChunk : n), &got, nullptr))
        return Fail(pError, GetLastError());
    nRead = got;
    return true;
}

namespace {

// Windows offers no unnamed file that can later take a name, so the new
// content is written to target.tmp<pid>.<n> and put in place with
// ReplaceFileW, which keeps the replaced file's attributes, ACL and streams.
class WindowsWriter final : public AtomicWriter::Impl {
public:
    using AtomicWriter::Impl::Impl;
    ~WindowsWriter() override
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        if (!temp.empty())
            DeleteFileW(temp.c_str());
    }

    bool Start(const wchar_t* path, bool bNoReplace) override
    {
        target = FinalPath(ZkToNativePath(path));
        bExists = RegularFileAttributes(target, oldAttributes, &error);
        if (bExists && bNoReplace)
            return Fail(&error, ERROR_FILE_EXISTS);
        if (bExists) {
            if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0)
                return Fail(&error, ERROR_ACCESS_DENIED);
            // Refused exactly when writing in place would be.
            HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (probe == INVALID_HANDLE_VALUE)
                return Fail(&error, GetLastError());
            CloseHandle(probe);
        } else if (error.status != FileStatus::kMissing || error.code == ERROR_PATH_NOT_FOUND) {
            return false;
        }
        error = FileError();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string suffix = detail::TempSuffix(GetCurrentProcessId());
            temp = target + std::wstring(suffix.begin(), suffix.end());
            h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE)
                return true;
            if (GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        temp.clear();
        return Fail(&error, GetLastError());
    }

    bool Write(const char* data, size_t size) override
    {
        for (size_t done = 0; done < size;) {
            size_t want = size - done > kChunk ? kChunk : size - done;
            if (!detail::AllowWrite(nWritten, want))
                return Fail(&error, FileStatus::kSystemError, ERROR_WRITE_FAULT);
            DWORD written = 0;
            if (!WriteFile(h, data + done, static_cast<DWORD>(want), &written, nullptr))
                return Fail(&error, GetLastError());
            done += written;
            nWritten += written;
        }
        return true;
    }

    bool Commit() override
    {
        if (!Publish())
            return false;
        // Beside a library that was not there, a leftover may be the only
        // copy of what a failed save wrote.
        if (bExists)
            RemoveLeftovers(FolderOf(target), NameOf(target));
        return true;
    }

private:
    // Another process that has the file open for a moment (a reader, a
    // virus scanner) makes ReplaceFileW fail for as long. It is tried again
    // for up to two seconds; when it failed after taking the old file away
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT without a backup), only the move of
    // the new file into the free name is left to do.
    bool PutInPlace()
    {
        bool bReplace = bExists;
        for (int nTry = 0;; ++nTry) {
            if (bReplace ? Replace() : Move())
                return true;
            const DWORD code = GetLastError();
            if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
                bReplace = false;
            const bool bPassing = code == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                                  code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
                                  code == ERROR_LOCK_VIOLATION ||
                                  code == ERROR_UNABLE_TO_REMOVE_REPLACED;
            if (!bPassing || nTry == 40) {
                if (bExists && !bReplace)
                    Keep();
                SetLastError(code);
                return false;
            }
            Sleep(50);
        }
    }

    // ReplaceFileW, or under the test fault what it leaves when it fails
    // after taking the old file away.
    bool Replace()
    {
        if (detail::PlaceFaultForTesting() == PlaceFault::kNone)
            return ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        DeleteFileW(target.c_str());
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
        return false;
    }

    bool Move()
    {
        if (bExists && detail::PlaceFaultForTesting() != PlaceFault::kNone) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }

    // With the old file gone, the new one is the only copy: it takes a name
    // that no sweep of leftovers removes, or, where it cannot, keeps its own
    // and becomes read-only, which sweeps pass by and DeleteFileW refuses.
    void Keep()
    {
        const bool bFault = detail::PlaceFaultForTesting() == PlaceFault::kMoveAndKeep;
        bool bRenamed = false;
        for (int attempt = 0; attempt < 100 && !bFault && !bRenamed; ++attempt) {
            const std::string suffix = detail::KeptSuffix(GetCurrentProcessId());
            const std::wstring name = target + std::wstring(suffix.begin(), suffix.end());
            bRenamed = MoveFileExW(temp.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
            if (bRenamed)
                temp = name;
            else if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (!bRenamed) {
            const DWORD attr = GetFileAttributesW(temp.c_str());
            SetFileAttributesW(temp.c_str(), attr == INVALID_FILE_ATTRIBUTES
                                                 ? FILE_ATTRIBUTE_READONLY
                                                 : attr | FILE_ATTRIBUTE_READONLY);
        }
        kept.swap(temp);
    }

    bool Publish()
    {
        const bool bFlushed = FlushFileBuffers(h) != 0 || Fail(&error, GetLastError());
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
        if (!bFlushed)
            return false;
        if (!PutInPlace()) {
            Fail(&error, GetLastError());
            if (!kept.empty()) {
                const auto where = ZkFromNativePath(kept);
                error.kept.assign(where.GetString(), static_cast<size_t>(where.GetLength()));
            }
            return false;
        }
        temp.clear();
        // ReplaceFileW keeps them; Wine's does not.
        const DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD now = GetFileAttributesW(target.c_str());
        if (bExists && now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (oldAttributes & kKept))
            SetFileAttributesW(target.c_str(), (now & ~kKept) | (oldAttributes & kKept));
        return true;
    }

    std::wstring target;
    std::wstring temp;
    std::wstring kept;  // the new content, where it could not take target's name
    bool bExists = false;
    DWORD oldAttributes = 0;
    HANDLE h = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<AtomicWriter::Impl> detail::NewWriter(FileError& error)
{
    return std::make_unique<WindowsWriter>(error);
}

bool CopyRegularFile(const wchar_t* from, const wchar_t* to, bool failIfExists, FileError* pError)
{
    DWORD attr = 0;
    if (!RegularFileAttributes(ZkToNativePath(from), attr, pError))
        return false;
    const DWORD target = GetFileAttributesW(ZkToNativePath(to).c_str());
    if (target != INVALID_FILE_ATTRIBUTES &&
        (target & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return Fail(pError, FileStatus::kNotRegular, 0);
    return ::CopyFileW(ZkToNativePath(from).c_str(), ZkToNativePath(to).c_str(),
                       failIfExists ? TRUE : FALSE) != 0 ||
           Fail(pError, GetLastError());
}

ZkNativeString CurrentDirectory()
{
    wchar_t* cwd = _wgetcwd(nullptr, 0);
    const std::wstring dir = cwd != nullptr ? cwd : L"";
    free(cwd);
    return dir;
}

}  // namespace ZkFileSystem
