#pragma once

// What export, import and fix ask of the system about files beyond
// std::filesystem (System_files_posix.cpp, System_files_windows.cpp).

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace zknd {

// When the file was last written, in the system's own units: comparable only
// with another answer of WrittenAt or MadeOrWrittenAt. False when the system
// does not tell.
bool WrittenAt(const std::filesystem::path& file, int64_t& nTime);
// The later of when the file was last written and when it was made. Windows'
// file copy keeps the source's write time, so a drawing that a running
// product copied a moment ago is told by when it was made; a POSIX copy is
// written anew and tells by its write time alone.
bool MadeOrWrittenAt(const std::filesystem::path& file, int64_t& nTime);

// Makes `to`, which must not exist (std::errc::file_exists otherwise), a
// copy of the file `from`, with the system's reason for a failure (a full
// disk says so); a copy that failed half way is removed.
bool CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& ec);

// Puts what was written to the folder's file system on the disk, so that a
// library saved next never names files a crash would have lost.
void WriteOut(const std::filesystem::path& folder);

// Renames a file or folder, never over an existing one: fails with
// std::errc::file_exists instead, where std::filesystem::rename would replace
// it on POSIX systems.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::error_code& ec);

}  // namespace zknd
