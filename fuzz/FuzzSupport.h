#pragma once

// Shared by the harnesses: a scratch data directory registered with the
// library before any manager is first used (the managers fetch the directory
// once), the load step of the two library harnesses, and the checks that end
// a run with a crash report.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/CString.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

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
        m_dir = ZkFromNativePath(templ) + L"\\";
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

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A library manager after loading the input as its library file.
template <class Manager>
struct LoadedInput {
    Manager* pMgr;
    std::string path;  // the library file, native
    bool bLoaded;      // what Load answered
};

// The native path of a library file, its folder created.
inline std::string PrepareLibraryFile(const CString& libraryPath)
{
    const std::string native = ZkToNativePath(libraryPath);
    fs::create_directories(fs::path(native).parent_path());
    return native;
}

// Writes the input over the library file of the manager that accessor returns
// and loads it. The first call registers the scratch host, before the
// manager is built.
template <class Manager>
LoadedInput<Manager> LoadInput(Manager* (*accessor)(), const uint8_t* data, size_t size)
{
    static ScratchHost host;
    static const bool bRegistered = (ZkSetHostApplication(&host), true);
    Manager* pMgr = accessor();
    static const std::string path = PrepareLibraryFile(pMgr->GetFileName());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    ZK_FUZZ_CHECK(bRegistered && out.good());
    const bool bLoaded = pMgr->Load();
    ZK_FUZZ_CHECK(pMgr->DataChanged());
    return {pMgr, path, bLoaded};
}

}  // namespace zkfuzz
