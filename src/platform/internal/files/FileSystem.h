#pragma once

// The library's only contact with files on disk (not exported). Paths come in
// the library's own form and are mapped with ZkToNativePath. The operating
// system's side is in FileSystem_posix.cpp and FileSystem_windows.cpp; the
// former also gives POSIX systems the Windows CopyFileW (Os.h).
//
// Only regular files are read or copied: a folder, a FIFO or a device fails at
// once, without being opened, so nothing blocks and nothing reads forever.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/ZkPath.h"

namespace ZkFileSystem {

// Why a file operation failed, for callers that want to tell.
// kExists: a write that may not replace found a file in its place.
enum class FileStatus { kOk, kMissing, kNotRegular, kNotPermitted, kSystemError, kExists };
struct FileError {
    FileError() = default;
    FileError(FileStatus s, int c) : status(s), code(c) {}

    FileStatus status = FileStatus::kOk;
    int code = 0;  // errno, or GetLastError() on Windows; 0 when the system gave none
    // A write that failed after the old file was gone: where its new content,
    // then the only copy, is kept (library path form); empty otherwise.
    std::wstring kept;
};
// The system's text for the error, UTF-8; for an error without a system code,
// a short text of its status.
std::string DescribeFileError(const FileError& error);

// True when path names an existing regular file (a link to one counts).
bool FileExists(const wchar_t* path);

// Grows a buffer without filling it first: the read writes every byte kept.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept
    {
    }
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using Bytes = std::vector<char, UninitializedAllocator<char>>;

// Reads the whole regular file, to its end even if it grew since it was
// opened; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, Bytes& out, FileError* pError = nullptr);

// How an AtomicWriter puts its file in place.
struct WriteOptions {
    // Only where there is no file: one that is there, or appears before the
    // new content takes its name, is kept, and the write fails with kExists.
    bool bNoReplace = false;
    // Receives a copy of every byte written, appended.
    Bytes* pCopy = nullptr;
};

// Replaces a file atomically with content written in pieces: nothing of it is
// visible at path until Commit succeeds, and a writer destroyed without a
// successful Commit leaves the old file as it was and no temporary file.
//
// The replaced file keeps what it was: its permission bits exactly, its owner
// and group where the process may set them, its extended attributes (ACLs,
// labels) and, on Windows, its attributes, ACL and streams. A symbolic link
// stays a link: the file at the end of the chain is replaced, in its own
// folder. A file the process may not write, or a folder in which no new file
// can be made, is refused before anything is written. A Commit that wrote
// through a named temporary file in place of an existing file then removes
// those that earlier interrupted writes of the same file left behind, whose
// processes no longer run (IsLeftoverToRemove).
//
// Where the system takes the old file away before the new one has its name
// (Windows' ReplaceFileW) and the new one then cannot take it, the new
// content is the only copy: it is renamed to <file>.unsaved<pid>.<n>, or,
// where that fails too, keeps its temporary name and is made read-only.
// Error().kept then names it.
class AtomicWriter {
public:
    explicit AtomicWriter(const wchar_t* path, const WriteOptions& options = WriteOptions());
    ~AtomicWriter();

    bool Write(const char* data, size_t size);
    // Flushes and puts the new content in place; false when it could not.
    bool Commit();
    const FileError& Error() const;

    // The system's side, in FileSystem_posix.cpp or FileSystem_windows.cpp:
    // a temporary file for the path (refused when the path may not be
    // replaced), written to and put in its place. Each step sets the error
    // the writer was made with when it fails.
    class Impl {
    public:
        explicit Impl(FileError& e) : error(e) {}
        virtual ~Impl() = default;
        virtual bool Start(const wchar_t* path, bool bNoReplace) = 0;
        virtual bool Write(const char* data, size_t size) = 0;
        virtual bool Commit() = 0;

    protected:
        FileError& error;
        size_t nWritten = 0;  // to the file, for the fault hook
    };

private:
    bool Flush();

    FileError m_error;
    Bytes* m_pCopy;
    std::unique_ptr<Impl> m_pImpl;
    std::vector<char> m_buf;  // small pieces, gathered into 64 KiB writes
    bool m_bOpen = false;
};

// Replaces path with data: an AtomicWriter written once and committed.
bool WriteFileAtomic(const wchar_t* path, const std::string& data, FileError* pError = nullptr);

// Copies the regular file from over to in bounded memory; to appears complete
// or not at all. On POSIX systems to gets from's permission bits; on Windows
// this is the system's CopyFileW. With failIfExists an existing to is kept.
bool CopyRegularFile(const wchar_t* from, const wchar_t* to, bool failIfExists,
                     FileError* pError = nullptr);

// The process's working directory, native; empty when it cannot be had.
ZkNativeString CurrentDirectory();

// Test hooks. The next atomic write fails after this many bytes (-1: never).
void SetWriteFaultForTesting(long long failAfterBytes);
// Temporary files get names even where the system offers unnamed ones.
void SetNamedTemporaryFilesForTesting(bool bNamed);
// Windows: the next atomic write, where it replaces a file, loses the old
// file and fails to move the new one into its name (kMove), and also to
// rename it to its kept name (kMoveAndKeep), as ReplaceFileW and MoveFileExW
// may. Cleared with the write, whatever its outcome.
enum class PlaceFault { kNone, kMove, kMoveAndKeep };
void SetPlaceFaultForTesting(PlaceFault fault);

// Shared by the two implementations (FileSystem.cpp).
namespace detail {

// False, with *pError (when given) set to status and code.
bool Fail(FileError* pError, FileStatus status, int code);
// False, with the status the system's error code (errno; GetLastError() on
// Windows) stands for (FileSystem_posix.cpp, FileSystem_windows.cpp).
bool Fail(FileError* pError, int code);

// The system's writer (FileSystem_posix.cpp, FileSystem_windows.cpp), not yet
// started.
std::unique_ptr<AtomicWriter::Impl> NewWriter(FileError& error);

// The system's side of reading (FileSystem_posix.cpp, FileSystem_windows.cpp):
// a regular file opened for reading, closed with the reader.
class FileReader {
public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    // False with the reason when path names no regular file or it cannot be
    // opened.
    bool Open(const wchar_t* path, FileError* pError);
    // The file's size when it was opened.
    unsigned long long Size() const { return m_nSize; }
    // Up to n bytes from where the last read ended; nRead is 0 at the end.
    bool Read(char* p, size_t n, size_t& nRead, FileError* pError);

private:
    std::intptr_t m_file = -1;  // the descriptor, or the handle on Windows
    unsigned long long m_nSize = 0;
};

// Shortens the next write of want bytes at offset done to stop at the test
// fault; false once the fault is reached.
bool AllowWrite(size_t done, size_t& want);
// The fault applies to one atomic write, whatever its outcome.
void ClearWriteFault();
PlaceFault PlaceFaultForTesting();
bool NamedTemporaryFilesOnly();
// ".tmp<pid>.<n>", with a new n on every call: the suffix of a temporary file.
std::string TempSuffix(unsigned long pid);
// ".unsaved<pid>.<n>", likewise: the suffix of the only copy of a write's new
// content, which no sweep of leftovers removes.
std::string KeptSuffix(unsigned long pid);
// Text for an error the system gave no code for.
std::string StatusText(FileStatus status);
// True when [name, name + n) is a name Windows takes for a device.
bool IsDeviceFileName(const wchar_t* name, size_t n);

// True when entry is the name of a temporary file of the file named library
// (library + ".tmp<pid>.<n>"); pid is then set.
template <typename Char>
bool IsTemporaryFileOf(std::basic_string_view<Char> library, std::basic_string_view<Char> entry,
                       unsigned long& pid)
{
    static const char kTag[] = ".tmp";
    const size_t nTag = sizeof kTag - 1;
    if (entry.size() <= library.size() + nTag || entry.compare(0, library.size(), library) != 0)
        return false;
    size_t i = library.size();
    for (size_t k = 0; k < nTag; ++k)
        if (entry[i + k] != static_cast<Char>(kTag[k]))
            return false;
    i += nTag;
    unsigned long value = 0;
    size_t nDigits = 0;
    for (; i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && nDigits < 10; ++i, ++nDigits)
        value = value * 10 + static_cast<unsigned long>(entry[i] - '0');
    if (nDigits == 0 || i == entry.size() || entry[i] != '.' || ++i == entry.size())
        return false;
    for (; i < entry.size(); ++i)
        if (entry[i] < '0' || entry[i] > '9')
            return false;
    pid = value;
    return true;
}

// Whether the sweep after a write of library removes entry, a file in its
// folder: a temporary file of library (IsTemporaryFileOf) of another process
// that no longer runs (isGone(pid)), and not read-only (isReadOnly()): a
// write that lost the old file and could not rename its own leaves it so.
template <typename Char, typename IsGone, typename IsReadOnly>
bool IsLeftoverToRemove(std::basic_string_view<Char> library, std::basic_string_view<Char> entry,
                        unsigned long self, IsGone isGone, IsReadOnly isReadOnly)
{
    unsigned long pid = 0;
    return IsTemporaryFileOf(library, entry, pid) && pid != self && isGone(pid) && !isReadOnly();
}

}  // namespace detail

}  // namespace ZkFileSystem
