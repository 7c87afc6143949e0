// Holds the lock a Save takes on a library file, as a saver stopped inside
// its Save would, until it is killed (test_merge_processes.cpp).
//
//   lock_holder LIBRARYFILE MARKERFILE
//
// Both are native paths. Once the lock is held, MARKERFILE is made.

#include <chrono>
#include <cstdio>
#include <thread>

#include "Arguments.h"
#include "platform/ZkPath.h"
#include "platform/internal/files/FileLock.h"

int main(int argc, char** argv)
{
    const std::vector<CString> args = ProgramArguments(argc, argv);
    if (args.size() != 3)
        return 2;
#if defined(_WIN32)
    const CString strFile = args[1];
    auto mark = [&] { return _wfopen(args[2], L"w"); };
#else
    const CString strFile = ZkFromNativePath(argv[1]);
    auto mark = [&] { return std::fopen(argv[2], "w"); };
#endif
    ZkFileSystem::FileLock lock;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    if (lock.Acquire(strFile, deadline, nullptr) != ZkFileSystem::FileLock::Result::kLocked)
        return 1;
    FILE* pMarker = mark();
    if (pMarker == nullptr)
        return 1;
    std::fclose(pMarker);
    // Killed long before this ends.
    std::this_thread::sleep_for(std::chrono::seconds(120));
    return 0;
}
