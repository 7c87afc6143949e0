// What zknd asks of a POSIX system: its streams, its arguments and the
// entries of a folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Folder.h"
#include "Output.h"

namespace zknd {

namespace {

class Console : public Output {
public:
    void Out(const std::string& utf8) override
    {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    }
    void Err(const std::string& utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }
    bool ErrIsTerminal() const override { return isatty(STDERR_FILENO) != 0; }
};

}  // namespace

std::unique_ptr<Output> MakeConsole()
{
    return std::make_unique<Console>();
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

namespace {

// "." and ".." left out; the kind asked of the system where the entry does
// not tell it.
void HandOver(int fdFolder, const char* pszName, unsigned char nType,
              const std::function<void(std::string_view, bool)>& fnEntry)
{
    if (pszName[0] == '.' && (pszName[1] == '\0' || (pszName[1] == '.' && pszName[2] == '\0')))
        return;
    bool bRegular = nType == DT_REG;
    if (nType == DT_UNKNOWN || nType == DT_LNK) {
        struct stat st;
        bRegular = fstatat(fdFolder, pszName, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    fnEntry(pszName, bRegular);
}

}  // namespace

bool ListFolder(const std::filesystem::path& folder,
                const std::function<void(std::string_view, bool)>& fnEntry)
{
#if defined(__linux__)
    // Straight from the kernel, a megabyte of entries at a time, where
    // readdir would ask for 32 KB at a time.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<char> buffer(size_t{1} << 20);
    ssize_t nRead;
    while ((nRead = getdents64(fd, buffer.data(), buffer.size())) > 0)
        for (ssize_t nAt = 0; nAt < nRead;) {
            const auto* pEntry = reinterpret_cast<const dirent64*>(buffer.data() + nAt);
            nAt += pEntry->d_reclen;
            HandOver(fd, pEntry->d_name, pEntry->d_type, fnEntry);
        }
    close(fd);
#else
    DIR* pDir = opendir(folder.c_str());
    if (pDir == nullptr)
        return false;
    while (const dirent* pEntry = readdir(pDir))
        HandOver(dirfd(pDir), pEntry->d_name, pEntry->d_type, fnEntry);
    closedir(pDir);
#endif
    return true;
}

bool SystemEqual(const char* a, const char* b, size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

}  // namespace zknd
