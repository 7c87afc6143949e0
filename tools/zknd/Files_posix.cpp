// File times and a rename that never replaces, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>

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
