#include "platform/internal/files/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/internal/files/FileSystem_posix.h"
#include "platform/internal/files/Os.h"

// Reading files, their errors and the current directory; writing them is
// AtomicWriter_posix.cpp's.

namespace ZkFileSystem {

using detail::Fail;
using detail::FailNotRegular;

bool detail::Fail(FileError* pError, int code)
{
    const FileStatus status = code == ENOENT || code == ENOTDIR ? FileStatus::kMissing
                              : code == EACCES || code == EPERM || code == EROFS
                                  ? FileStatus::kNotPermitted
                              : code == EISDIR ? FileStatus::kNotRegular
                              : code == EEXIST ? FileStatus::kExists
                                               : FileStatus::kSystemError;
    return Fail(pError, status, code);
}

bool detail::FailNotRegular(FileError* pError)
{
    return Fail(pError, FileStatus::kNotRegular, 0);
}

// Opens path for reading when it names a regular file. The type is checked
// before opening, so a FIFO or a device is never opened, and again on the
// open file, in case the name changed hands in between. -1 on failure.
int detail::OpenRegular(const std::string& path, struct stat& st, FileError* pError)
{
    if (stat(path.c_str(), &st) != 0)
        return Fail(pError, errno), -1;
    if (!S_ISREG(st.st_mode))
        return FailNotRegular(pError), -1;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Fail(pError, errno), -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int code = errno;
        close(fd);
        return (S_ISREG(st.st_mode) ? Fail(pError, code) : FailNotRegular(pError)), -1;
    }
    return fd;
}

std::string DescribeFileError(const FileError& error)
{
    return error.code != 0 ? std::strerror(error.code) : detail::StatusText(error.status);
}

bool FileExists(const wchar_t* path)
{
    struct stat st;
    return stat(ZkToNativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

detail::FileReader::~FileReader()
{
    if (m_file >= 0)
        close(static_cast<int>(m_file));
}

bool detail::FileReader::Open(const wchar_t* path, FileError* pError)
{
    struct stat st;
    const int fd = OpenRegular(ZkToNativePath(path), st, pError);
    if (fd < 0)
        return false;
    m_file = fd;
    m_nSize = static_cast<unsigned long long>(st.st_size);
    return true;
}

bool detail::FileReader::Read(char* p, size_t n, size_t& nRead, FileError* pError)
{
    for (;;) {
        const ssize_t got = read(static_cast<int>(m_file), p, n);
        if (got >= 0) {
            nRead = static_cast<size_t>(got);
            return true;
        }
        if (errno != EINTR)
            return Fail(pError, errno);
    }
}

ZkNativeString CurrentDirectory()
{
    char* cwd = getcwd(nullptr, 0);
    const std::string dir = cwd != nullptr ? cwd : "";
    free(cwd);
    return dir;
}

}  // namespace ZkFileSystem

// The Windows call the node-detail copy makes.
int CopyFileW(const wchar_t* lpExistingFileName, const wchar_t* lpNewFileName, int bFailIfExists)
{
    return ZkFileSystem::CopyRegularFile(lpExistingFileName, lpNewFileName, bFailIfExists != 0) ? 1
                                                                                                : 0;
}
