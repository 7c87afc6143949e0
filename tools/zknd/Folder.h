#pragma once

// The entries of a folder as the system lists them, handed over one by one
// without a string or a call per entry where the listing tells the kind
// (System_posix.cpp, System_windows.cpp): a resource folder holds two files
// per node detail, hundreds of thousands. And names compared as the system
// compares them.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

namespace zknd {

// Calls fnEntry with each entry's name (UTF-8) and whether it is a regular
// file or a link to one; "." and ".." left out. False when the folder cannot
// be read.
bool ListFolder(const std::filesystem::path& folder,
                const std::function<void(std::string_view, bool)>& fnEntry);

// Whether the n bytes of UTF-8 at a and at b name the same entry: exactly on
// POSIX systems, ignoring the letter case of ASCII letters on Windows.
bool SystemEqual(const char* a, const char* b, size_t n);

}  // namespace zknd
