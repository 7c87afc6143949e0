#include "platform/internal/files/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace ZkFileSystem {

using detail::Fail;

std::chrono::milliseconds FileLock::ReplaceGap()
{
    // rename() replaces in one step.
    return std::chrono::milliseconds(0);
}

int FileLock::TryLock(const wchar_t* path, FileError* pError)
{
    if (m_file < 0) {
        const std::string native = ZkToNativePath(path);
        // The type first, so that a FIFO or a device is never opened.
        struct stat st;
        if (stat(native.c_str(), &st) != 0)
            return Fail(pError, errno), -1;
        if (!S_ISREG(st.st_mode))
            return Fail(pError, FileStatus::kNotRegular, 0), -1;
        const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = open(native.c_str(), O_RDONLY | flags);
        // A file the saver may write but not read can still be locked.
        m_bReadable = fd >= 0 || errno != EACCES;
        if (!m_bReadable)
            fd = open(native.c_str(), O_WRONLY | flags);
        if (fd < 0)
            return Fail(pError, errno), -1;
        m_file = fd;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            return Fail(pError, FileStatus::kNotRegular, 0), -1;
    }
    for (;;) {
        if (flock(static_cast<int>(m_file), LOCK_EX | LOCK_NB) == 0)
            return 1;
        if (errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return Fail(pError, errno), -1;
    }
}

bool FileLock::StillNamed(const wchar_t* path) const
{
    struct stat held;
    struct stat named;
    return fstat(static_cast<int>(m_file), &held) == 0 &&
           stat(ZkToNativePath(path).c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

bool FileLock::ReadSome(char* p, size_t n, size_t& nRead, bool bRewind, FileError* pError)
{
    const int fd = static_cast<int>(m_file);
    if (!m_bReadable)
        return Fail(pError, EACCES);
    if (bRewind && lseek(fd, 0, SEEK_SET) != 0)
        return Fail(pError, errno);
    for (;;) {
        const ssize_t got = read(fd, p, n);
        if (got >= 0) {
            nRead = static_cast<size_t>(got);
            return true;
        }
        if (errno != EINTR)
            return Fail(pError, errno);
    }
}

unsigned long long FileLock::SizeNow() const
{
    struct stat st;
    return fstat(static_cast<int>(m_file), &st) == 0 && st.st_size > 0
               ? static_cast<unsigned long long>(st.st_size)
               : 0;
}

void FileLock::Close()
{
    // Closing the only descriptor of the description releases its lock.
    if (m_file >= 0)
        close(static_cast<int>(m_file));
    m_file = -1;
}

}  // namespace ZkFileSystem
