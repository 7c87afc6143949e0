#pragma once

// The entries of a folder as the system lists them, without a call per entry
// where the listing tells the kind (System_posix.cpp, System_windows.cpp): a
// resource folder holds two files per node detail, hundreds of thousands.

#include <filesystem>
#include <string>
#include <vector>

namespace zknd {

struct FolderEntry {
    std::string strName;  // UTF-8
    bool bRegular;        // a regular file, or a link to one
};

// "." and ".." left out; empty when the folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::filesystem::path& folder);

}  // namespace zknd
