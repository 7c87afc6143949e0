#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "Folder.h"

namespace zknd {

std::vector<FolderEntry> ListFolder(const std::filesystem::path& folder)
{
    std::vector<FolderEntry> vecEntry;
    DIR* pDir = opendir(folder.c_str());
    if (pDir == nullptr)
        return vecEntry;
    while (const dirent* pEntry = readdir(pDir)) {
        const char* pszName = pEntry->d_name;
        if (std::strcmp(pszName, ".") == 0 || std::strcmp(pszName, "..") == 0)
            continue;
        bool bRegular = pEntry->d_type == DT_REG;
        if (pEntry->d_type == DT_UNKNOWN || pEntry->d_type == DT_LNK) {
            struct stat st;
            bRegular = fstatat(dirfd(pDir), pszName, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        vecEntry.push_back(FolderEntry{pszName, bRegular});
    }
    closedir(pDir);
    return vecEntry;
}

}  // namespace zknd
