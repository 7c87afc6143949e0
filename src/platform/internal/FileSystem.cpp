#include "platform/internal/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/CString.h"
#include "platform/internal/Os.h"
#include "platform/internal/Text.h"

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ZkFileSystem {

namespace {

long long g_writeFaultAfter = -1;

unsigned g_tempCounter = 0;

}  // namespace

void SetWriteFaultForTesting(long long failAfterBytes)
{
    g_writeFaultAfter = failAfterBytes;
}

#if defined(_WIN32)

NativeString NativePath(const wchar_t* path)
{
    return CString(path).GetString();
}

bool FileExists(const wchar_t* path)
{
    const DWORD attr = GetFileAttributesW(NativePath(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadWholeFile(const wchar_t* path, std::string& out)
{
    HANDLE h = CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
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
        const DWORD want = static_cast<DWORD>(
            (out.size() - done) > 0x10000000u ? 0x10000000u : (out.size() - done));
        if (!::ReadFile(h, &out[done], want, &chunk, nullptr) || chunk == 0) {
            CloseHandle(h);
            return false;
        }
        done += chunk;
    }
    CloseHandle(h);
    return true;
}

namespace {

bool WriteAll(HANDLE h, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t want = size - done;
        if (want > 0x10000000u)
            want = 0x10000000u;
        if (g_writeFaultAfter >= 0) {
            if (static_cast<long long>(done) >= g_writeFaultAfter)
                return false;
            if (static_cast<long long>(done + want) > g_writeFaultAfter)
                want = static_cast<size_t>(g_writeFaultAfter - static_cast<long long>(done));
        }
        DWORD written = 0;
        if (want > 0 && (!WriteFile(h, data + done, static_cast<DWORD>(want), &written, nullptr) ||
                         written == 0))
            return false;
        done += written;
        if (g_writeFaultAfter >= 0 && static_cast<long long>(done) >= g_writeFaultAfter &&
            done < size)
            return false;
    }
    return true;
}

NativeString TempNameFor(const NativeString& target)
{
    wchar_t suffix[64];
    swprintf(suffix, 64, L".tmp%lu.%u", static_cast<unsigned long>(GetCurrentProcessId()),
             ++g_tempCounter);
    return target + suffix;
}

}  // namespace

bool WriteFileAtomic(const wchar_t* path, const std::string& data)
{
    const NativeString target = NativePath(path);
    const NativeString temp = TempNameFor(target);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        g_writeFaultAfter = -1;
        return false;
    }
    bool ok = WriteAll(h, data.data(), data.size());
    g_writeFaultAfter = -1;
    ok = FlushFileBuffers(h) && ok;
    ok = CloseHandle(h) && ok;
    if (ok)
        ok = MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}

bool CopyFileReplacing(const wchar_t* from, const wchar_t* to, bool failIfExists)
{
    return ::CopyFileW(NativePath(from).c_str(), NativePath(to).c_str(),
                       failIfExists ? TRUE : FALSE) != 0;
}

#else  // POSIX

NativeString NativePath(const wchar_t* path)
{
    const CString units(path);
    std::string out =
        ZkText::Utf16ToUtf8(units.GetString(), static_cast<size_t>(units.GetLength()));
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

bool FileExists(const wchar_t* path)
{
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const wchar_t* path, std::string& out)
{
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return false;
    }
    out.clear();
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

namespace {

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t want = size - done;
        if (g_writeFaultAfter >= 0) {
            if (static_cast<long long>(done) >= g_writeFaultAfter)
                return false;
            if (static_cast<long long>(done + want) > g_writeFaultAfter)
                want = static_cast<size_t>(g_writeFaultAfter - static_cast<long long>(done));
        }
        const ssize_t n = write(fd, data + done, want);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Opens a fresh temporary file beside target; -1 on failure.
int OpenTempBeside(const NativeString& target, NativeString& temp, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + ".tmp" + std::to_string(static_cast<long>(getpid())) + "." +
               std::to_string(++g_tempCounter);
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Folder part of a native path, separator included.
NativeString FolderOf(const NativeString& p)
{
    const size_t pos = p.find_last_of('/');
    return pos == NativeString::npos ? NativeString() : p.substr(0, pos + 1);
}

bool SyncFolder(const NativeString& target)
{
    NativeString folder = FolderOf(target);
    if (folder.empty())
        folder = ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fsync(fd);
    close(fd);
    return true;
}

// Writes data to a temporary file beside target and renames it over target.
bool ReplaceWith(const NativeString& target, const char* data, size_t size, mode_t mode,
                 bool failIfExists)
{
    NativeString temp;
    const int fd = OpenTempBeside(target, temp, mode);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data, size);
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok) {
        if (failIfExists) {
            // link() refuses an existing target, so the check and the move are one step.
            ok = link(temp.c_str(), target.c_str()) == 0;
            unlink(temp.c_str());
        } else {
            ok = rename(temp.c_str(), target.c_str()) == 0;
        }
    }
    if (!ok)
        unlink(temp.c_str());
    else
        SyncFolder(target);
    return ok;
}

}  // namespace

bool WriteFileAtomic(const wchar_t* path, const std::string& data)
{
    const NativeString target = NativePath(path);
    mode_t mode = 0644;
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            g_writeFaultAfter = -1;
            return false;
        }
        mode = st.st_mode & 07777;  // keep the old file's permissions
    }
    const bool ok = ReplaceWith(target, data.data(), data.size(), mode, false);
    g_writeFaultAfter = -1;
    return ok;
}

bool CopyFileReplacing(const wchar_t* from, const wchar_t* to, bool failIfExists)
{
    std::string data;
    if (!ReadWholeFile(from, data))
        return false;
    const NativeString source = NativePath(from);
    const NativeString target = NativePath(to);
    struct stat st;
    if (stat(source.c_str(), &st) != 0)
        return false;
    struct stat tst;
    if (stat(target.c_str(), &tst) == 0) {
        if (failIfExists || S_ISDIR(tst.st_mode))
            return false;
        if (tst.st_dev == st.st_dev && tst.st_ino == st.st_ino)
            return false;  // copying a file onto itself
    }
    return ReplaceWith(target, data.data(), data.size(), st.st_mode & 07777, failIfExists);
}

#endif

}  // namespace ZkFileSystem

#if !defined(_WIN32)
int CopyFileW(const wchar_t* lpExistingFileName, const wchar_t* lpNewFileName, int bFailIfExists)
{
    return ZkFileSystem::CopyFileReplacing(lpExistingFileName, lpNewFileName, bFailIfExists != 0)
               ? 1
               : 0;
}
#endif
