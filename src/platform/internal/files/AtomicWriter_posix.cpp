#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal/files/FileSystem.h"
#include "platform/internal/files/FileSystem_posix.h"

// A library written in one step: a new file beside it that takes its name,
// its owner, attributes and mode; and a file copied the same way.

namespace ZkFileSystem {

using detail::Fail;
using detail::FailNotRegular;
using detail::OpenRegular;

namespace {

// Folder part of a native path, separator included; "./" for a bare name.
std::string FolderOf(const std::string& p)
{
    const size_t pos = p.find_last_of('/');
    return pos == std::string::npos ? std::string("./") : p.substr(0, pos + 1);
}

std::string NameOf(const std::string& p)
{
    const size_t pos = p.find_last_of('/');
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

// The file at the end of a chain of symbolic links, which need not exist.
bool ResolveLinks(std::string path, std::string& out, FileError* pError)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = path;
            return true;
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), &link[0], link.size());
        if (n < 0)
            return Fail(pError, errno);
        if (static_cast<size_t>(n) == link.size())
            return Fail(pError, ENAMETOOLONG);  // changed while being read
        link.resize(static_cast<size_t>(n));
        path = link[0] == '/' ? link : FolderOf(path) + link;
    }
    return Fail(pError, ELOOP);
}

void SyncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Removes folder/name.tmp<pid>.<n> files whose process no longer runs.
void RemoveLeftovers(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const unsigned long self = static_cast<unsigned long>(getpid());
    // No process has the id 0 or one beyond pid_t.
    const auto isGone = [](unsigned long pid) {
        return pid == 0 || pid > 0x7FFFFFFFul ||
               (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
    };
    while (const dirent* entry = readdir(dir)) {
        const auto isReadOnly = [dir, entry] {
            struct stat st;
            return fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                   (st.st_mode & S_IWUSR) == 0;
        };
        if (detail::IsLeftoverToRemove<char>(name, entry->d_name, self, isGone, isReadOnly))
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

#if defined(__linux__)
std::vector<std::string> SplitNames(const std::vector<char>& list)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < list.size(); i += names.back().size() + 1)
        names.emplace_back(&list[i], strnlen(&list[i], list.size() - i));
    return names;
}

template <typename List>
std::vector<std::string> AttributeNames(List list)
{
    const ssize_t n = list(nullptr, 0);
    std::vector<char> buf(n > 0 ? static_cast<size_t>(n) : 0);
    const ssize_t got = n > 0 ? list(buf.data(), buf.size()) : -1;
    buf.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return SplitNames(buf);
}

// Gives fd the extended attributes of the file at path, and only those:
// user attributes, ACLs and security labels alike. Where the file system has
// none, or the process may not set one, the new file goes without.
void CopyAttributes(const std::string& path, int fd)
{
    const char* p = path.c_str();
    const std::vector<std::string> names =
        AttributeNames([p](char* b, size_t n) { return listxattr(p, b, n); });
    for (const std::string& name :
         AttributeNames([fd](char*b, size_t n) { return flistxattr(fd, b, n); })) {
        bool bKept = false;
        for (const std::string& keep : names)
            bKept = bKept || keep == name;
        if (!bKept)
            fremovexattr(fd, name.c_str());  // inherited from the folder
    }
    std::vector<char> value;
    for (const std::string& name : names) {
        const ssize_t n = getxattr(p, name.c_str(), nullptr, 0);
        value.resize(n > 0 ? static_cast<size_t>(n) : 0);
        if (n >= 0 && getxattr(p, name.c_str(), value.data(), value.size()) == n)
            fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
    }
}
#else
void CopyAttributes(const std::string&, int) {}
#endif

// A new file beside target that becomes target in one step: unnamed where
// the system offers that, so that a process killed before Publish leaves
// nothing, else named target.tmp<pid>.<n>.
class TempFile {
public:
    ~TempFile()
    {
        if (m_fd >= 0)
            close(m_fd);
        if (!m_name.empty())
            unlink(m_name.c_str());
    }

    int Fd() const { return m_fd; }
    // Whether the file had a name while it was written: only then can a
    // killed save have left it behind.
    bool NamedWhileWritten() const { return m_bNamed; }

    bool Open(const std::string& target, mode_t mode, FileError* pError)
    {
        m_target = target;
#if defined(O_TMPFILE)
        if (!detail::NamedTemporaryFilesOnly()) {
            m_fd = open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (m_fd >= 0)
                return true;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return Fail(pError, errno);
        }
#endif
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TempName();
            m_fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd >= 0) {
                m_name = name;
                m_bNamed = true;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        return Fail(pError, errno);
    }

    // Flushes the content to disk and puts it at the target: in place of an
    // existing file with bReplace, else only where there is none.
    bool Publish(bool bReplace, FileError* pError)
    {
        if (fsync(m_fd) != 0)
            return Fail(pError, errno);
        // An unnamed file is named only now, right before it takes its place.
        if (m_name.empty() &&
            !(bReplace ? LinkAs(std::string(), pError) : LinkAs(m_target, pError)))
            return false;
        if (!m_name.empty() && bReplace) {
            if (rename(m_name.c_str(), m_target.c_str()) != 0)
                return Fail(pError, errno);
            m_name.clear();
        } else if (!m_name.empty() && !MoveNoReplace(pError)) {
            return false;
        }
        const int rc = close(m_fd);
        m_fd = -1;
        if (rc != 0)
            return Fail(pError, errno);
        SyncFolder(FolderOf(m_target));
        return true;
    }

private:
    // The named file takes the target's name where there is none. Where the
    // system cannot rename without replacing, a second link is made and the
    // temporary name goes with the destructor.
    bool MoveNoReplace(FileError* pError)
    {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
        if (renameat2(AT_FDCWD, m_name.c_str(), AT_FDCWD, m_target.c_str(), RENAME_NOREPLACE) ==
            0) {
            m_name.clear();
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return Fail(pError, errno);
#endif
        return link(m_name.c_str(), m_target.c_str()) == 0 || Fail(pError, errno);
    }

    std::string TempName() const
    {
        return m_target + detail::TempSuffix(static_cast<unsigned long>(getpid()));
    }

    // Links the unnamed file as name, or under a fresh temporary name when
    // name is empty.
    bool LinkAs(const std::string& name, FileError* pError)
    {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string link = name.empty() ? TempName() : name;
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, link.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                if (name.empty())
                    m_name = link;
                return true;
            }
            if (errno != EEXIST || !name.empty())
                break;
        }
        return Fail(pError, errno);
    }

    std::string m_target;
    int m_fd = -1;
    std::string m_name;     // while the file has a temporary name
    bool m_bNamed = false;  // named from the start, not only right before Publish
};

bool WriteAllAt(int fd, const char* data, size_t size, off_t at, FileError* pError)
{
    for (size_t done = 0; done < size;) {
        const ssize_t n = pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno != EINTR)
            return Fail(pError, errno);
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return true;
}

// Copies [at, end) of src to the same place in dst: by the kernel where it
// can copy between the two files, else through a 64 KiB buffer.
bool CopyRange(int src, int dst, off_t at, off_t end, std::vector<char>& buf, FileError* pError)
{
    const off_t kChunk = 1 << 20;
    while (at < end) {
        const size_t want = static_cast<size_t>(end - at < kChunk ? end - at : kChunk);
        ssize_t n = -1;
#if defined(__linux__)
        if (buf.empty()) {
            off_t in = at;
            off_t out = at;
            n = copy_file_range(src, &in, dst, &out, want, 0);
            if (n < 0 && errno != EINTR && errno != EIO && errno != ENOSPC) {
                buf.resize(1 << 16);  // not between these two files
                continue;
            }
        }
#endif
        if (!buf.empty()) {
            n = pread(src, buf.data(), want < buf.size() ? want : buf.size(), at);
            if (n > 0 && !WriteAllAt(dst, buf.data(), static_cast<size_t>(n), at, pError))
                return false;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(pError, errno);
        if (n == 0)
            return Fail(pError, FileStatus::kSystemError, EIO);  // shrank while copied
        at += n;
    }
    return true;
}

// Copies the first size bytes of src into dst; holes stay holes.
bool CopyData(int src, int dst, off_t size, FileError* pError)
{
    std::vector<char> buf;
    for (off_t pos = 0; pos < size;) {
        off_t data = pos;
        off_t end = size;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
        data = lseek(src, pos, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;  // a hole up to the end
        if (data < 0) {
            data = pos;  // no word on holes here: all of it is data
        } else {
            const off_t hole = lseek(src, data, SEEK_HOLE);
            if (hole > data && hole < size)
                end = hole;
        }
#endif
        if (data >= size)
            break;
        if (!CopyRange(src, dst, data, end, buf, pError))
            return false;
        pos = end;
    }
    return ftruncate(dst, size) == 0 || Fail(pError, errno);
}

}  // namespace

namespace {

// The new content goes to a TempFile in the folder of the file at the end of
// any links, takes the old file's owner, attributes and mode, and is renamed
// over it; a hard link elsewhere keeps the old content.
class PosixWriter final : public AtomicWriter::Impl {
public:
    using AtomicWriter::Impl::Impl;

    bool Start(const wchar_t* path, bool bNoReplace) override
    {
        if (!ResolveLinks(ZkToNativePath(path), target, &error))
            return false;
        bReplace = !bNoReplace;
        bExists = stat(target.c_str(), &old) == 0;
        if (bExists && !bReplace)
            return Fail(&error, EEXIST);
        if (bExists) {
            if (!S_ISREG(old.st_mode))
                return FailNotRegular(&error);
            // Refused exactly when writing in place would be; root may write.
            if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
                return Fail(&error, errno);
        } else if (errno != ENOENT) {
            return Fail(&error, errno);
        }
        // A new library gets the mode of any new file; the bits of an old one
        // are set exactly at Commit, whatever the umask.
        return temp.Open(target, bExists ? 0600 : 0666, &error);
    }

    bool Write(const char* data, size_t size) override
    {
        size_t done = 0;
        while (done < size) {
            size_t want = size - done;
            if (!detail::AllowWrite(nWritten, want))
                return Fail(&error, FileStatus::kSystemError, EIO);
            const ssize_t n = write(temp.Fd(), data + done, want);
            if (n < 0 && errno != EINTR)
                return Fail(&error, errno);
            done += n > 0 ? static_cast<size_t>(n) : 0;
            nWritten += n > 0 ? static_cast<size_t>(n) : 0;
        }
        return true;
    }

    bool Commit() override
    {
        if (bExists)
            KeepIdentity();
        if (!temp.Publish(bReplace, &error))
            return false;
        // Beside a library's 200,000 drawings and slides, looking through the
        // folder takes twice as long as the save: only a saver that leaves
        // such files behind when killed clears them up. Beside a library that
        // was not there, a leftover may be the only copy of what a failed
        // save wrote.
        if (bExists && temp.NamedWhileWritten())
            RemoveLeftovers(FolderOf(target), NameOf(target));
        return true;
    }

private:
    // What the old file was: owner and group (as far as the process may give
    // them), extended attributes, then the permission bits, which a change of
    // owner or of the ACL would otherwise alter.
    void KeepIdentity()
    {
        const int fd = temp.Fd();
        // Where neither is permitted, the saver's own owner and group stay.
        (void)(fchown(fd, old.st_uid, old.st_gid) == 0 ||
               fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0);
        CopyAttributes(target, fd);
        fchmod(fd, old.st_mode & 07777);
    }

    std::string target;  // the regular file at the end of any links
    struct stat old = {};
    bool bExists = false;
    bool bReplace = true;
    TempFile temp;
};

}  // namespace

std::unique_ptr<AtomicWriter::Impl> detail::NewWriter(FileError& error)
{
    return std::make_unique<PosixWriter>(error);
}

bool CopyRegularFile(const wchar_t* from, const wchar_t* to, bool failIfExists, FileError* pError)
{
    struct stat st;
    const int src = OpenRegular(ZkToNativePath(from), st, pError);
    if (src < 0)
        return false;
    const std::string target = ZkToNativePath(to);
    struct stat tst;
    bool ok = true;
    if (stat(target.c_str(), &tst) == 0) {
        if (failIfExists)
            ok = Fail(pError, FileStatus::kSystemError, EEXIST);
        else if (!S_ISREG(tst.st_mode))
            ok = FailNotRegular(pError);
        else if (tst.st_dev == st.st_dev && tst.st_ino == st.st_ino)
            ok = Fail(pError, FileStatus::kSystemError, EINVAL);  // a file onto itself
    }
    if (ok) {
        TempFile temp;
        ok = temp.Open(target, 0600, pError) && CopyData(src, temp.Fd(), st.st_size, pError) &&
             (fchmod(temp.Fd(), st.st_mode & 07777) == 0 || Fail(pError, errno)) &&
             temp.Publish(!failIfExists, pError);
    }
    close(src);
    return ok;
}

}  // namespace ZkFileSystem
