#pragma once

// Helpers shared by the tests: scratch folders and files addressed by the
// library's own wide, backslash-separated paths.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace zktest {

namespace fs = std::filesystem;

// A library path (wide, backslashes) as a native path.
inline fs::path Native(const std::wstring& libraryPath)
{
    std::wstring p = libraryPath;
#if defined(_WIN32)
    return fs::path(p);
#else
    std::string utf8;
    for (wchar_t wc : p) {
        auto c = static_cast<unsigned long>(wc);
        if (c == L'\\')
            c = L'/';
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return fs::path(utf8);
#endif
}

inline std::wstring Wide(const fs::path& p)
{
#if defined(_WIN32)
    return p.wstring();
#else
    // Test folders are ASCII; keep it simple and exact.
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
#endif
}

// A fresh folder removed with everything in it at the end of the test. Its
// library form ends with a backslash, like the host's data directory.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        const fs::path base = fs::temp_directory_path();
        for (;;) {
            m_path = base / ("zknd-test-" + std::to_string(rd()));
            if (fs::create_directory(m_path))
                break;
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }
    // e.g. L"\tmp\zknd-test-123\" on Linux.
    std::wstring lib() const
    {
        std::wstring w = Wide(m_path);
        for (wchar_t& c : w)
            if (c == L'/')
                c = L'\\';
        return w + L"\\";
    }

private:
    fs::path m_path;
};

inline void WriteBytes(const fs::path& p, const std::string& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zktest
