#include "platform/internal/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/internal/Os.h"

namespace ZkFileSystem {

namespace {

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t want = size - done;
        if (!detail::AllowWrite(done, want)) {
            errno = ENOSPC;  // the test fault stands for a full disk
            return false;
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
int OpenTempBeside(const std::string& target, std::string& temp, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + detail::TempSuffix(static_cast<unsigned long>(getpid()));
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Folder part of a native path, separator included.
std::string FolderOf(const std::string& p)
{
    const size_t pos = p.find_last_of('/');
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

bool SyncFolder(const std::string& target)
{
    std::string folder = FolderOf(target);
    if (folder.empty())
        folder = ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fsync(fd);
    close(fd);
    return true;
}

// errno after a failed call; never 0, so a failure always has a code.
int FailureCode()
{
    return errno != 0 ? errno : EIO;
}

// Writes data to a temporary file beside target and renames it over target;
// 0, or the errno of the step that failed.
int ReplaceWith(const std::string& target, const char* data, size_t size, mode_t mode,
                bool failIfExists)
{
    std::string temp;
    const int fd = OpenTempBeside(target, temp, mode);
    if (fd < 0)
        return FailureCode();
    int code = WriteAll(fd, data, size) && fsync(fd) == 0 ? 0 : FailureCode();
    if (close(fd) != 0 && code == 0)
        code = FailureCode();
    if (code == 0) {
        if (failIfExists) {
            // link() refuses an existing target, so the check and the move are one step.
            code = link(temp.c_str(), target.c_str()) == 0 ? 0 : FailureCode();
            unlink(temp.c_str());
        } else {
            code = rename(temp.c_str(), target.c_str()) == 0 ? 0 : FailureCode();
        }
    }
    if (code != 0)
        unlink(temp.c_str());
    else
        SyncFolder(target);
    return code;
}

// Copies a file; the target appears complete or not at all. On failure errno
// tells why, as GetLastError() does after the system's CopyFileW.
bool CopyReplacing(const wchar_t* from, const wchar_t* to, bool failIfExists)
{
    std::string data;
    FileError error;
    if (!ReadWholeFile(from, data, &error)) {
        errno = error.code;
        return false;
    }
    const std::string source = ZkToNativePath(from);
    const std::string target = ZkToNativePath(to);
    struct stat st;
    if (stat(source.c_str(), &st) != 0)
        return false;
    struct stat tst;
    if (stat(target.c_str(), &tst) == 0) {
        // EINVAL: copying a file onto itself.
        const int refusal = failIfExists                                         ? EEXIST
                            : S_ISDIR(tst.st_mode)                               ? EISDIR
                            : tst.st_dev == st.st_dev && tst.st_ino == st.st_ino ? EINVAL
                                                                                 : 0;
        if (refusal != 0) {
            errno = refusal;
            return false;
        }
    }
    const int code =
        ReplaceWith(target, data.data(), data.size(), st.st_mode & 07777, failIfExists);
    errno = code;
    return code == 0;
}

}  // namespace

bool FileExists(const wchar_t* path)
{
    struct stat st;
    return stat(ZkToNativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileError ProbeFile(const wchar_t* path)
{
    struct stat st;
    if (stat(ZkToNativePath(path).c_str(), &st) != 0)
        return ErrorFromCode(errno);
    if (S_ISREG(st.st_mode))
        return FileError();
    return FileError{FileStatus::kNotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0};
}

FileError ErrorFromCode(int code)
{
    FileError error;
    error.code = code;
    error.status = code == ENOENT || code == ENOTDIR ? FileStatus::kMissing
                   : code == EACCES || code == EPERM ? FileStatus::kNotPermitted
                   : code == EISDIR                  ? FileStatus::kNotRegular
                                                     : FileStatus::kSystemError;
    return error;
}

FileError LastSystemError()
{
    return ErrorFromCode(errno);
}

std::string DescribeFileError(const FileError& error)
{
    return error.code != 0 ? std::strerror(error.code) : std::string();
}

namespace {

bool Fail(FileError* pError, int code)
{
    if (pError != nullptr)
        *pError = ErrorFromCode(code);
    return false;
}

}  // namespace

bool ReadWholeFile(const wchar_t* path, std::string& out, FileError* pError)
{
    const int fd = open(ZkToNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(pError, errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
        close(fd);
        return Fail(pError, code);
    }
    out.clear();
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            close(fd);
            return Fail(pError, code);
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

bool WriteFileAtomic(const wchar_t* path, const std::string& data, FileError* pError)
{
    const std::string target = ZkToNativePath(path);
    mode_t mode = 0644;
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            detail::ClearWriteFault();
            return Fail(pError, EISDIR);
        }
        mode = st.st_mode & 07777;  // keep the old file's permissions
    }
    const int code = ReplaceWith(target, data.data(), data.size(), mode, false);
    detail::ClearWriteFault();
    return code == 0 || Fail(pError, code);
}

ZkNativeString CurrentDirectory()
{
    char* cwd = getcwd(nullptr, 0);
    const std::string dir = cwd != nullptr ? cwd : "";
    free(cwd);
    return dir;
}

}  // namespace ZkFileSystem

// The Windows call the node-detail copy makes, on top of the copy above.
int CopyFileW(const wchar_t* lpExistingFileName, const wchar_t* lpNewFileName, int bFailIfExists)
{
    return ZkFileSystem::CopyReplacing(lpExistingFileName, lpNewFileName, bFailIfExists != 0) ? 1
                                                                                              : 0;
}
