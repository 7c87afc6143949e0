#pragma once

// The library's only contact with files on disk (not exported). Paths come in
// the library's own form, with backslashes, and are mapped to the native form
// here: on Linux, separators become '/' and the text is encoded as UTF-8.

#include <string>

namespace ZkFileSystem {

#if defined(_WIN32)
using NativeString = std::wstring;
#else
using NativeString = std::string;
#endif

NativeString NativePath(const wchar_t* path);

// True when path names an existing file that is not a directory.
bool FileExists(const wchar_t* path);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, std::string& out);

// Replaces path with data atomically: the data goes to a temporary file in the
// same folder, is flushed to disk and then renamed over the target. On any
// failure the temporary file is removed and the target is left untouched.
bool WriteFileAtomic(const wchar_t* path, const std::string& data);

// Copies a file, replacing an existing target unless failIfExists; the target
// appears complete or not at all.
bool CopyFileReplacing(const wchar_t* from, const wchar_t* to, bool failIfExists);

// Test hook: the next atomic write fails after this many bytes (-1: never).
void SetWriteFaultForTesting(long long failAfterBytes);

}  // namespace ZkFileSystem
