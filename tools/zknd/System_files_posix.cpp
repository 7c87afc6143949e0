// File times and a rename that never replaces, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "Files.h"

namespace zknd {

namespace fs = std::filesystem;

bool WrittenAt(const fs::path& file, int64_t& nTime)
{
    struct stat st;
    if (stat(file.c_str(), &st) != 0)
        return false;
    nTime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool MadeOrWrittenAt(const fs::path& file, int64_t& nTime)
{
    // A copy is written anew: its write time is when it was made. The status
    // change time would not do: restoring a folder from an archive or a
    // backup changes it for every file.
    return WrittenAt(file, nTime);
}

bool CopyToNewFile(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    ec.clear();
    const int src = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st;
    if (src < 0 || fstat(src, &st) != 0) {
        ec.assign(errno, std::generic_category());
        if (src >= 0)
            close(src);
        return false;
    }
    const int dst = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (dst < 0) {
        ec.assign(errno, std::generic_category());
        close(src);
        return false;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t nRead = read(src, buffer, sizeof buffer);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0) {
            if (nRead < 0)
                ec.assign(errno, std::generic_category());
            break;
        }
        for (ssize_t nDone = 0; nDone < nRead && !ec;) {
            const ssize_t nWritten = write(dst, buffer + nDone, static_cast<size_t>(nRead - nDone));
            if (nWritten < 0 && errno != EINTR)
                ec.assign(errno, std::generic_category());
            nDone += nWritten > 0 ? nWritten : 0;
        }
        if (ec)
            break;
    }
    if (close(dst) != 0 && !ec)
        ec.assign(errno, std::generic_category());
    close(src);
    if (ec)
        unlink(to.c_str());
    return !ec;
}

void WriteOut(const fs::path& folder)
{
#if defined(__linux__)
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        syncfs(fd);
        close(fd);
    }
#else
    (void)folder;
    sync();
#endif
}

bool RenameNoReplace(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    ec.clear();
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        ec.assign(errno, std::generic_category());
        return false;
    }
#endif
    // A file system that cannot refuse by itself: asked first.
    if (fs::exists(fs::symlink_status(to, ec))) {
        ec = std::make_error_code(std::errc::file_exists);
        return false;
    }
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    return true;
}

}  // namespace zknd
