#pragma once

// Shared by the tests, which include it first: GoogleTest and the standard
// headers they all use, the data directory the test process registers before
// any test runs (the managers fetch it once, on first use), files addressed
// by the library's own paths, and the two library files.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "AsciiText.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace zktest {

namespace fs = std::filesystem;

inline fs::path Native(const std::wstring& libraryPath)
{
    return fs::path(ZkToNativePath(libraryPath.c_str()));
}

// The test process's data directory: a fresh folder of its own, removed with
// everything in it at the end.
class TestHost : public IZkHostApplication {
public:
    TestHost()
    {
        std::random_device rd;
        do
            native = fs::temp_directory_path() / ("zknd-test-" + std::to_string(rd()));
        while (!fs::create_directory(native));
        ZkSetHostApplication(this);
    }
    ~TestHost() override
    {
        std::error_code ec;
        fs::remove_all(native, ec);
    }
    CString GetProductDataDirectory() const override
    {
        return ZkFromNativePath(native.native()) + L"\\";
    }
    fs::path native;
};

inline TestHost g_host;

// The data directory, in the library's form (ending with a backslash).
inline std::wstring DataDirectory()
{
    return g_host.GetProductDataDirectory().GetString();
}

inline const fs::path& NativeDataDirectory()
{
    return g_host.native;
}

// Removes everything under the data directory.
inline void ResetDataDirectory()
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(NativeDataDirectory(), ec))
        fs::remove_all(entry.path(), ec);
}

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

// One of the two library files with its manager's Load, Save and Update,
// and an edit of the loaded list: the first record renamed.
struct Library {
    std::function<bool()> load, save, update;
    std::function<int()> count;
    std::function<const ZkReport&()> report;
    fs::path file;
    std::function<bool(const wchar_t*)> rename;

    static Library NodeDetail()
    {
        CNodeDetailResDataManager* p = ZkNodeDetailResDataManager();
        return Of(p, [p](const wchar_t* psz) { return p->ModifyNodeName(0, psz); });
    }
    static Library Fitting()
    {
        CFitDataManager* p = ZkFitDataManager();
        return Of(p, [p](const wchar_t* psz) { return p->ModifyFitName(0, 0, psz); });
    }
    template <class Manager>
    static Library Of(Manager* p, std::function<bool(const wchar_t*)> rename)
    {
        return {[p] { return p->Load(); },
                [p] { return p->Save(); },
                [p] { return p->Update(); },
                [p] { return p->GetDataCount(); },
                [p]() -> const ZkReport& { return p->GetLastReport(); },
                Native(std::wstring(p->GetFileName())),
                std::move(rename)};
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

// Each test of a fixture derived from this starts from an empty data
// directory.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDataDirectory(); }
};

}  // namespace zktest
