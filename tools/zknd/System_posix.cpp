// What zknd asks of a POSIX system: its streams, its arguments and the
// entries of a folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

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

bool ListFolder(const std::filesystem::path& folder,
                const std::function<void(std::string_view, bool)>& fnEntry)
{
    DIR* pDir = opendir(folder.c_str());
    if (pDir == nullptr)
        return false;
    while (const dirent* pEntry = readdir(pDir)) {
        const char* pszName = pEntry->d_name;
        if (std::strcmp(pszName, ".") == 0 || std::strcmp(pszName, "..") == 0)
            continue;
        bool bRegular = pEntry->d_type == DT_REG;
        if (pEntry->d_type == DT_UNKNOWN || pEntry->d_type == DT_LNK) {
            struct stat st;
            bRegular = fstatat(dirfd(pDir), pszName, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        fnEntry(pszName, bRegular);
    }
    closedir(pDir);
    return true;
}

}  // namespace zknd
