#pragma once

// Shared by the harnesses: a scratch data directory registered with the
// library before any manager is first used (the managers fetch the directory
// once), and the checks that end a run with a crash report.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/CString.h"
#include "platform/ZkHost.h"
#include "platform/internal/FileSystem.h"

#define ZK_FUZZ_CHECK(cond)                                                               \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace zkfuzz {

namespace fs = std::filesystem;

// A data directory of its own, in memory where possible: every run writes and
// renames the library file, and the fsyncs of a real disk would dominate.
class ScratchHost : public IZkHostApplication {
public:
    ScratchHost()
    {
        const char* base = "/dev/shm";
        if (!fs::is_directory(base))
            base = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
        std::string templ = std::string(base) + "/zk-fuzz-XXXXXX";
        ZK_FUZZ_CHECK(mkdtemp(&templ[0]) != nullptr);
        m_native = templ;
        // The library's own form: backslashes, ending with one. The folder
        // name is ASCII, so widening byte by byte is exact.
        for (char c : templ)
            m_dir += static_cast<wchar_t>(c == '/' ? '\\' : c);
        m_dir += L'\\';
    }
    ~ScratchHost() override
    {
        std::error_code ec;
        fs::remove_all(m_native, ec);
    }
    CString GetProductDataDirectory() const override { return m_dir; }

private:
    std::string m_native;
    CString m_dir;
};

// Call from LLVMFuzzerInitialize, before any accessor.
inline void RegisterScratchHost()
{
    static ScratchHost host;
    ZkSetHostApplication(&host);
}

// The native path of a library file, its folder created.
inline std::string PrepareLibraryFile(const CString& libraryPath)
{
    const std::string native = ZkFileSystem::NativePath(libraryPath);
    fs::create_directories(fs::path(native).parent_path());
    return native;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    ZK_FUZZ_CHECK(out.good());
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zkfuzz
