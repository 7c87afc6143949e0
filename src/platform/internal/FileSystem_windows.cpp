#include "platform/internal/FileSystem.h"

#include <direct.h>

#include <cstdlib>
#include <string>

#include "platform/internal/Os.h"

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
        if (!detail::AllowWrite(done, want))
            return false;
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

}  // namespace

bool FileExists(const wchar_t* path)
{
    const DWORD attr = GetFileAttributesW(ZkToNativePath(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadWholeFile(const wchar_t* path, std::string& out, FileError* pError)
{
    HANDLE h = CreateFileW(ZkToNativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (pError != nullptr) {
            const DWORD code = GetLastError();
            pError->code = static_cast<int>(code);
            pError->status = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                                 ? FileStatus::kMissing
                             : code == ERROR_ACCESS_DENIED ? FileStatus::kNotPermitted
                                                           : FileStatus::kSystemError;
        }
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > out.max_size()) {
        CloseHandle(h);
        return false;
    }
    out.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < out.size()) {
        DWORD chunk = 0;
        const DWORD want =
            static_cast<DWORD>((out.size() - done) > kChunk ? kChunk : (out.size() - done));
        if (!::ReadFile(h, &out[done], want, &chunk, nullptr) || chunk == 0) {
            CloseHandle(h);
            return false;
        }
        done += chunk;
    }
    CloseHandle(h);
    return true;
}

bool WriteFileAtomic(const wchar_t* path, const std::string& data)
{
    const std::wstring target = ZkToNativePath(path);
    const std::wstring temp = TempNameFor(target);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        detail::ClearWriteFault();
        return false;
    }
    bool ok = WriteAll(h, data.data(), data.size());
    detail::ClearWriteFault();
    ok = FlushFileBuffers(h) && ok;
    ok = CloseHandle(h) && ok;
    if (ok)
        ok = MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}

ZkNativeString CurrentDirectory()
{
    wchar_t* cwd = _wgetcwd(nullptr, 0);
    const std::wstring dir = cwd != nullptr ? cwd : L"";
    free(cwd);
    return dir;
}

}  // namespace ZkFileSystem
