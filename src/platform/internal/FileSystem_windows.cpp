#include "platform/internal/FileSystem.h"

#include <direct.h>

#include <cstdlib>
#include <string>

#include "platform/internal/Os.h"
#include "platform/internal/Text.h"

namespace ZkFileSystem {

namespace {

// Larger requests are split: ReadFile and WriteFile take a 32-bit count.
const size_t kChunk = 0x10000000u;

bool WriteAll(HANDLE h, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t want = size - done;
        if (want > kChunk)
            want = kChunk;
        if (!detail::AllowWrite(done, want)) {
            SetLastError(ERROR_DISK_FULL);  // the test fault stands for a full disk
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(h, data + done, static_cast<DWORD>(want), &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::wstring TempNameFor(const std::wstring& target)
{
    const std::string suffix =
        detail::TempSuffix(static_cast<unsigned long>(GetCurrentProcessId()));
    return target + std::wstring(suffix.begin(), suffix.end());
}

bool Fail(FileError* pError, DWORD code)
{
    if (pError != nullptr)
        *pError = ErrorFromCode(static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE));
    return false;
}

}  // namespace

FileError ErrorFromCode(int code)
{
    FileError error;
    error.code = code;
    const DWORD c = static_cast<DWORD>(code);
    error.status = c == ERROR_FILE_NOT_FOUND || c == ERROR_PATH_NOT_FOUND ? FileStatus::kMissing
                   : c == ERROR_ACCESS_DENIED ? FileStatus::kNotPermitted
                   : c == ERROR_DIRECTORY     ? FileStatus::kNotRegular
                                              : FileStatus::kSystemError;
    return error;
}

FileError LastSystemError()
{
    return ErrorFromCode(static_cast<int>(GetLastError()));
}

std::string DescribeFileError(const FileError& error)
{
    if (error.code == 0)
        return std::string();
    wchar_t* pText = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // English where the system has it, like the rest of the report.
    DWORD n = FormatMessageW(flags, nullptr, static_cast<DWORD>(error.code),
                             MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    if (n == 0)
        n = FormatMessageW(flags, nullptr, static_cast<DWORD>(error.code), 0,
                           reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    std::wstring text = n != 0 ? std::wstring(pText, n) : L"error " + std::to_wstring(error.code);
    LocalFree(pText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    return ZkText::Utf16ToUtf8(text.data(), text.size());
}

bool FileExists(const wchar_t* path)
{
    const DWORD attr = GetFileAttributesW(ZkToNativePath(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileError ProbeFile(const wchar_t* path)
{
    const DWORD attr = GetFileAttributesW(ZkToNativePath(path).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return LastSystemError();
    if ((attr & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ErrorFromCode(ERROR_DIRECTORY);
    return FileError();
}

bool ReadWholeFile(const wchar_t* path, std::string& out, FileError* pError)
{
    HANDLE h = CreateFileW(ZkToNativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(pError, GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > out.max_size()) {
        const DWORD code = GetLastError();
        CloseHandle(h);
        return Fail(pError, code);
    }
    out.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < out.size()) {
        DWORD chunk = 0;
        const DWORD want =
            static_cast<DWORD>((out.size() - done) > kChunk ? kChunk : (out.size() - done));
        if (!::ReadFile(h, &out[done], want, &chunk, nullptr) || chunk == 0) {
            const DWORD code = GetLastError();
            CloseHandle(h);
            return Fail(pError, code);
        }
        done += chunk;
    }
    CloseHandle(h);
    return true;
}

bool WriteFileAtomic(const wchar_t* path, const std::string& data, FileError* pError)
{
    const std::wstring target = ZkToNativePath(path);
    const DWORD attr = GetFileAttributesW(target.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        detail::ClearWriteFault();
        return Fail(pError, ERROR_DIRECTORY);
    }
    const std::wstring temp = TempNameFor(target);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        detail::ClearWriteFault();
        return Fail(pError, GetLastError());
    }
    bool ok = WriteAll(h, data.data(), data.size());
    detail::ClearWriteFault();
    ok = FlushFileBuffers(h) && ok;
    DWORD code = ok ? 0 : GetLastError();
    ok = CloseHandle(h) && ok;
    if (ok)
        ok = MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        if (code == 0)
            code = GetLastError();
        DeleteFileW(temp.c_str());
        return Fail(pError, code);
    }
    return true;
}

ZkNativeString CurrentDirectory()
{
    wchar_t* cwd = _wgetcwd(nullptr, 0);
    const std::wstring dir = cwd != nullptr ? cwd : L"";
    free(cwd);
    return dir;
}

}  // namespace ZkFileSystem
