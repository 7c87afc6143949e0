#pragma once

// The library's only contact with files on disk (not exported). Paths come in
// the library's own form and are mapped with ZkToNativePath. The operating
// system's side is in FileSystem_posix.cpp and FileSystem_windows.cpp; the
// former also gives POSIX systems the Windows CopyFileW (Os.h).

#include <cstddef>
#include <memory>
#include <string>

#include "platform/ZkPath.h"

namespace ZkFileSystem {

// Why a file operation failed, for callers that want to tell.
enum class FileStatus { kOk, kMissing, kNotRegular, kNotPermitted, kSystemError };
struct FileError {
    FileStatus status = FileStatus::kOk;
    int code = 0;  // errno, or GetLastError() on Windows
};
// The system's text for the error, UTF-8 (FileSystem_posix.cpp and
// FileSystem_windows.cpp); empty when there is no code.
std::string DescribeFileError(const FileError& error);
// The FileError of a system error code (errno, or GetLastError() on Windows).
FileError ErrorFromCode(int code);
// The error the system keeps for the calling thread, right after a call of
// this layer or CopyFileW failed.
FileError LastSystemError();

// True when path names an existing file that is not a directory.
bool FileExists(const wchar_t* path);
// Why FileExists said no: kMissing, kNotRegular or kNotPermitted, or kOk when
// a file is there after all. Only asked after a failure, to explain it.
FileError ProbeFile(const wchar_t* path);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, std::string& out, FileError* pError = nullptr);

// Replaces a file atomically with content written in pieces: nothing of it is
// visible at path until Commit succeeds, and a writer destroyed without a
// successful Commit leaves the old file as it was.
class AtomicWriter {
public:
    explicit AtomicWriter(const wchar_t* path);
    ~AtomicWriter();

    bool Write(const char* data, size_t size);
    // Flushes and puts the new content in place; false when it could not.
    bool Commit();
    const FileError& Error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// Replaces path with data atomically: the data goes to a temporary file in the
// same folder, is flushed to disk and then renamed over the target. On any
// failure the temporary file is removed and the target is left untouched.
bool WriteFileAtomic(const wchar_t* path, const std::string& data, FileError* pError = nullptr);

// The process's working directory, native; empty when it cannot be had.
ZkNativeString CurrentDirectory();

// Test hook: the next atomic write fails after this many bytes (-1: never).
void SetWriteFaultForTesting(long long failAfterBytes);

// Shared by the two implementations (FileSystem.cpp).
namespace detail {

// Shortens the next write of want bytes at offset done to stop at the test
// fault; false once the fault is reached.
bool AllowWrite(size_t done, size_t& want);
// The fault applies to one atomic write, whatever its outcome.
void ClearWriteFault();
// ".tmp<pid>.<n>", with a new n on every call: the suffix of a temporary file.
std::string TempSuffix(unsigned long pid);

}  // namespace detail

}  // namespace ZkFileSystem
