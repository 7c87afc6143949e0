#pragma once

// What the POSIX file sources share (not exported).

#include <sys/stat.h>

#include <string>

#include "platform/internal/files/FileSystem.h"

namespace ZkFileSystem::detail {

// False, with the status of a path that names no regular file.
bool FailNotRegular(FileError* pError);

// Opens path for reading when it names a regular file (st: its status);
// -1 on failure.
int OpenRegular(const std::string& path, struct stat& st, FileError* pError);

}  // namespace ZkFileSystem::detail
