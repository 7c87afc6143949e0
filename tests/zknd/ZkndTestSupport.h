#pragma once

// What zknd's tests share: zknd run as a program of its own (the managers
// serve one data directory per process, so a test that works on several runs
// zknd once per directory), temporary folders, and data directories written
// from text.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace zkndtest {

namespace fs = std::filesystem;

// A path built into the tests, as this program sees it: a cross build run
// under Wine sees the build machine's root as drive Z:.
inline std::string BuiltPath(std::string path)
{
#if defined(_WIN32)
    if (path.rfind('/', 0) == 0)
        path = "Z:" + path;
#endif
    return path;
}

inline std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A folder of its own, removed with all it holds at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        m_path = fs::temp_directory_path() / ("zknd-test-" + std::to_string(seed()));
        fs::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return m_path; }
    // A path in it as zknd is given it (UTF-8).
    std::string operator/(const char* psz) const { return (m_path / psz).u8string(); }

private:
    fs::path m_path;
};

// The parts of a data directory's libraries below it.
inline fs::path NodeDetailFolder()
{
    return fs::u8path(u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u6210\u679C\u5E93");
}
inline fs::path FittingFolder()
{
    return fs::u8path(u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u7BA1\u4EF6\u5E93");
}

// A node detail: a GUID text of one digit repeated ("1" for
// "11111111-1111-1111-1111-111111111111"), a name and a description (UTF-8).
struct Detail {
    char cGuid;
    std::string strName, strDescription;
    std::string Guid() const
    {
        const std::string s(32, cGuid);
        return s.substr(0, 8) + "-" + s.substr(8, 4) + "-" + s.substr(12, 4) + "-" +
               s.substr(16, 4) + "-" + s.substr(20);
    }
};

// A data directory: the node details, with a drawing and a slide file for
// each GUID text, and fitting groups as XML lines.
inline void MakeDataDir(const fs::path& dir, const std::vector<Detail>& vecDetail,
                        const std::string& strGroups = std::string())
{
    std::string rows;
    for (const Detail& d : vecDetail) {
        rows += "  <NodeDetailResDataRow GuId=\"" + d.Guid() + "\" DisplayName=\"" + d.strName +
                "\" Description=\"" + d.strDescription + "\" />\n";
        WriteBytes(dir / NodeDetailFolder() / (d.Guid() + ".dwg"), "drawing " + d.Guid());
        WriteBytes(dir / NodeDetailFolder() / (d.Guid() + ".sld"), "slide " + d.Guid());
    }
    WriteBytes(dir / NodeDetailFolder() / "NodeDetailDataEx.xml",
               "<?xml version=\"1.0\"?>\n<NodeDetailResData>\n" + rows + "</NodeDetailResData>\n");
    WriteBytes(dir / FittingFolder() / "FitDataEx.xml",
               "<?xml version=\"1.0\"?>\n<FitData>\n" + strGroups + "</FitData>\n");
}

struct Ran {
    int nStatus = -1;
    std::string out;
    std::string err;
};

inline std::string Quoted(const std::string& text)
{
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

// Runs the zknd program with the arguments (ASCII: the Windows command
// line of std::system is in the ANSI code page) and waits for it.
inline Ran RunZknd(const std::vector<std::string>& vecArg)
{
    static int nRun = 0;
    const fs::path base = fs::temp_directory_path() / ("zknd-run-" + std::to_string(++nRun) + "-" +
                                                       std::to_string(std::random_device()()));
    const fs::path out = base.string() + ".out";
    const fs::path err = base.string() + ".err";
    std::string program = BuiltPath(ZKND_PROGRAM);
#if defined(_WIN32)
    for (char& c : program)
        c = c == '/' ? '\\' : c;
#endif
    std::string command = Quoted(program);
    for (const std::string& arg : vecArg)
        command += " " + Quoted(arg);
    command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
#if defined(_WIN32)
    // cmd /c takes the outer quotes away.
    command = "\"" + command + "\"";
#endif
    Ran ran;
    const int nSystem = std::system(command.c_str());
#if defined(_WIN32)
    ran.nStatus = nSystem;
#else
    ran.nStatus = WIFEXITED(nSystem) ? WEXITSTATUS(nSystem) : -1;
#endif
    ran.out = ReadBytes(out);
    ran.err = ReadBytes(err);
    std::error_code ec;
    fs::remove(out, ec);
    fs::remove(err, ec);
    return ran;
}

}  // namespace zkndtest
