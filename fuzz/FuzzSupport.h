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

// Wide text from fuzz input, for the text helpers' harnesses: a byte below
// 0xF0 is that unit; 0xF0-0xFE and the next two bytes are any 16-bit unit;
// 0xFF, a count c and a byte repeat that byte's unit 8 * (c + 1) times, for
// long runs of digits. At most nMax units.
inline std::wstring WideText(const uint8_t*& p, const uint8_t* end, size_t nMax = 4096)
{
    std::wstring text;
    while (p != end && text.size() < nMax) {
        const uint8_t b = *p++;
        if (b < 0xF0) {
            text += static_cast<wchar_t>(b);
        } else if (b < 0xFF) {
            const unsigned hi = p != end ? *p++ : 0;
            const unsigned lo = p != end ? *p++ : 0;
            text += static_cast<wchar_t>(hi << 8 | lo);
        } else {
            const size_t count = 8 * (static_cast<size_t>(p != end ? *p++ : 0) + 1);
            const wchar_t unit = p != end ? static_cast<wchar_t>(*p++) : L'9';
            text.append(count < nMax - text.size() ? count : nMax - text.size(), unit);
        }
    }
    return text;
}

// The text up to its first null unit: what an API taking a C string sees.
inline std::wstring CText(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

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
