#pragma once

// Helpers shared by the tests: scratch folders and files addressed by the
// library's own wide, backslash-separated paths, and the two library files.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "frame/ZkNodeDetail.h"

namespace zktest {

namespace fs = std::filesystem;

// A library path (wide, backslashes) as a native path.
inline fs::path Native(const std::wstring& libraryPath)
{
#if defined(_WIN32)
    return fs::path(libraryPath);
#else
    std::string utf8;
    for (wchar_t wc : libraryPath) {
        const unsigned long c = wc == L'\\' ? L'/' : static_cast<unsigned long>(wc);
        const int nTail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        utf8 += static_cast<char>(nTail == 0 ? c : ((0xF80 >> nTail) & 0xFF) | (c >> 6 * nTail));
        for (int i = nTail - 1; i >= 0; --i)
            utf8 += static_cast<char>(0x80 | ((c >> 6 * i) & 0x3F));
    }
    return fs::path(utf8);
#endif
}

// A fresh folder removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        do
            m_path = fs::temp_directory_path() / ("zknd-test-" + std::to_string(rd()));
        while (!fs::create_directory(m_path));
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }
    // Library form ending with a backslash, like the host's data directory.
    std::wstring lib() const
    {
        std::wstring w = m_path.wstring();
        std::replace(w.begin(), w.end(), L'/', L'\\');
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

inline std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    return names;
}

// One of the two library files with its manager's Load and Save.
struct Library {
    std::function<bool()> load, save;
    std::function<int()> count;
    fs::path file;

    static Library NodeDetail() { return Of(ZkNodeDetailResDataManager()); }
    static Library Fitting() { return Of(ZkFitDataManager()); }
    template <class Manager>
    static Library Of(Manager* p)
    {
        return {[p] { return p->Load(); }, [p] { return p->Save(); },
                [p] { return p->GetDataCount(); }, Native(std::wstring(p->GetFileName()))};
    }
};

// A node-detail library file of nRows rows whose descriptions carry nVariant.
inline std::string NodeDetailXml(int nRows, int nVariant)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<NodeDetailResData>\n";
    char row[256];
    for (int i = 0; i < nRows; ++i) {
        std::snprintf(row, sizeof row,
                      "<NodeDetailResDataRow GuId=\"%08X-0000-4000-8000-%012d\" "
                      "DisplayName=\"Detail %d\" Description=\"\xE7\xAE\xA1\xE9\x81\x93 v%d "
                      "DN%d\"/>\n",
                      i, nVariant, i, nVariant, 50 + i % 500);
        xml += row;
    }
    return xml + "</NodeDetailResData>\n";
}

}  // namespace zktest
