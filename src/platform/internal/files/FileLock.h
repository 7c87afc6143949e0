#pragma once

// One saver of a library file at a time, across processes (not exported).
// The lock is the operating system's on the library file itself, so nothing
// is left beside it and a process that dies releases it: flock on POSIX
// systems (an open file description's lock: closing another descriptor of
// the file, as every Load does, keeps it), LockFileEx on Windows on a byte
// beyond any end of file, so that readers are never blocked.
//
// Every save replaces the file, so the lock may be taken on a file that has
// just been replaced: once held, the locked file is checked to be the one the
// path names (device and inode, or volume and file ID), and the lock is taken
// again on the new file when it is not. Through symbolic links the file at
// the end of the chain is locked.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/internal/files/FileSystem.h"

namespace ZkFileSystem {

class FileLock {
public:
    enum class Result {
        kLocked,    // held; the path names the locked file
        kNoFile,    // nothing to lock: no file at the path
        kTimedOut,  // another process held it until the deadline
        kFailed,    // the file cannot be opened or locked: see the error
    };

    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { Release(); }

    // Locks the regular file that path names, waiting until deadline at most
    // for another process to release it; polls, since neither system's lock
    // call waits for a limited time. A folder or device fails at once. A
    // missing file is looked for again for a moment (ReplaceGap), or, where
    // bFileExpected (the caller last saw one there) and the system's replace
    // leaves a gap at all, until the deadline: another process's replace may
    // be stopped in the middle for as long as it waits for the processor.
    Result Acquire(const wchar_t* path, std::chrono::steady_clock::time_point deadline,
                   FileError* pError, bool bFileExpected = false);
    // Whether the locked file holds exactly [p, p + n): 1 yes, 0 no, -1 when
    // it cannot be read (pError says why). Reads in pieces, keeping none.
    int Holds(const char* p, size_t n, FileError* pError);
    // The locked file's whole content.
    bool ReadAll(Bytes& out, FileError* pError);
    void Release();

private:
    // The system's side, in FileLock_posix.cpp or FileLock_windows.cpp.
    // Opens and tries the lock once: 1 held, 0 held by another (the file
    // stays open for the next try), -1 failed or no file (pError).
    int TryLock(const wchar_t* path, FileError* pError);
    // Whether path still names the locked file.
    bool StillNamed(const wchar_t* path) const;
    // How long a file that is not there is looked for again before it counts
    // as gone: a replace that moves the old file away first leaves the path
    // without a file for a moment.
    static std::chrono::milliseconds ReplaceGap();
    // Reads from the start (bRewind) or on; nRead 0 at the end.
    bool ReadSome(char* p, size_t n, size_t& nRead, bool bRewind, FileError* pError);
    // The locked file's size now; 0 when it cannot be had.
    unsigned long long SizeNow() const;
    void Close();

    std::intptr_t m_file = -1;  // the descriptor, or the handle on Windows
    bool m_bHeld = false;
    bool m_bReadable = true;  // opened for reading, not only to be locked
};

// How long a save waits for another process's save of the same library.
constexpr std::chrono::milliseconds kSaveLockWait{2000};

}  // namespace ZkFileSystem
