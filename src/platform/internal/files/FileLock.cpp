#include "platform/internal/files/FileLock.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

// What the POSIX and the Windows lock share: the bounded wait and reading
// the locked file.

namespace ZkFileSystem {

FileLock::Result FileLock::Acquire(const wchar_t* path,
                                   std::chrono::steady_clock::time_point deadline,
                                   FileError* pError, bool bFileExpected)
{
    Release();
    FileError error;
    std::chrono::milliseconds pause(1);
    const bool bWaitLong = bFileExpected && ReplaceGap().count() > 0;
    const auto gone = bWaitLong ? deadline : std::chrono::steady_clock::now() + ReplaceGap();
    for (;;) {
        const int nTried = TryLock(path, &error);
        if (nTried < 0) {
            Close();
            const auto now = std::chrono::steady_clock::now();
            if (error.status == FileStatus::kMissing && now < gone && now < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            if (pError != nullptr)
                *pError = error;
            return error.status == FileStatus::kMissing ? Result::kNoFile : Result::kFailed;
        }
        if (nTried > 0) {
            if (StillNamed(path)) {
                m_bHeld = true;
                return Result::kLocked;
            }
            // Replaced by the save that held the lock: the new file is locked next.
            Close();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Close();
            return Result::kTimedOut;
        }
        // Short at first: most saves take milliseconds.
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

int FileLock::Holds(const char* p, size_t n, FileError* pError)
{
    if (SizeNow() != n)
        return 0;
    // Read, not mapped: a file that another program truncates in place
    // meanwhile would end a comparison of mapped pages with SIGBUS. Pieces
    // small enough to stay in the cache between the read and the compare.
    const size_t kPiece = 1 << 16;
    std::unique_ptr<char[]> buf(new char[kPiece]);
    size_t done = 0;
    for (bool bFirst = true;; bFirst = false) {
        size_t nRead = 0;
        if (!ReadSome(buf.get(), kPiece, nRead, bFirst, pError))
            return -1;
        if (nRead == 0)
            return done == n ? 1 : 0;
        if (nRead > n - done || std::memcmp(buf.get(), p + done, nRead) != 0)
            return 0;
        done += nRead;
    }
}

bool FileLock::ReadAll(Bytes& out, FileError* pError)
{
    out.clear();
    // One byte more than the file, for the NUL the XML reader ends the text with.
    out.reserve(static_cast<size_t>(SizeNow()) + 1);
    const size_t kPiece = 1 << 16;
    for (bool bFirst = true;; bFirst = false) {
        const size_t done = out.size();
        // The room reserved, the last byte of it to find the end; a file that
        // grew meanwhile goes on in pieces.
        const size_t room = out.capacity() - done;
        out.resize(done + (room > 0 ? room : kPiece));
        size_t nRead = 0;
        const bool ok = ReadSome(out.data() + done, out.size() - done, nRead, bFirst, pError);
        out.resize(done + nRead);
        if (!ok)
            return false;
        if (nRead == 0)
            return true;
    }
}

void FileLock::Release()
{
    Close();
    m_bHeld = false;
}

}  // namespace ZkFileSystem
