// ZkIsFileExist on any name inside a folder that holds one of each kind of
// entry: true exactly for a regular file (a link to one counts), at once, and
// never a read of anything.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/ZkHost.h"

namespace {

namespace fs = zkfuzz::fs;

struct Folder {
    Folder()
    {
        char templ[] = "/tmp/zk-fuzz-exists-XXXXXX";
        ZK_FUZZ_CHECK(mkdtemp(templ) != nullptr);
        native = templ;
        const fs::path f(native);
        std::ofstream(f / "file") << "x";
        fs::create_directory(f / "dir");
        ZK_FUZZ_CHECK(mkfifo((f / "fifo").c_str(), 0600) == 0);
        fs::create_symlink("file", f / "link");
        fs::create_symlink("/dev/zero", f / "zero");
        fs::create_symlink("loop", f / "loop");
        fs::create_symlink("nowhere", f / "dangling");
        library = ZkFromNativePath(native) + L"\\";
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(native, ec);
    }
    std::string native;
    CString library;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folder folder;
    const uint8_t* p = data;
    const std::wstring name = zkfuzz::CText(zkfuzz::WideText(p, data + size, 256));
    const CString path = folder.library + name.c_str();
    std::error_code ec;
    const bool expected = fs::is_regular_file(ZkToNativePath(path), ec);
    ZK_FUZZ_CHECK(ZkIsFileExist(path) == expected);
    return 0;
}
