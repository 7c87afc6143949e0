#pragma once

// What the consumer programs share: checks that count failures instead of
// stopping, whole files read and written as bytes, and ASCII texts.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace consumer {

inline int g_nFailures = 0;

inline void Check(bool bOk, const char* pszWhat, const char* pszFile, int nLine)
{
    if (!bOk) {
        std::fprintf(stderr, "%s:%d: check failed: %s\n", pszFile, nLine, pszWhat);
        ++g_nFailures;
    }
}

inline std::string ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// A data directory of the program's own, emptied: the argument, or the
// default; false (with a message) when it cannot be made.
inline bool FreshDirectory(int argc, char** argv, const std::filesystem::path& fallback,
                           std::filesystem::path& dir)
{
    dir = std::filesystem::absolute(argc > 1 ? std::filesystem::path(argv[1]) : fallback);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    if (ec)
        std::fprintf(stderr, "cannot create %s\n", dir.string().c_str());
    return !ec;
}

// The programs' names and GUID texts are ASCII; Text is the library's CString
// or the module's own.
template <typename Text>
std::string Ascii(const Text& text)
{
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i)
        out += static_cast<char>(text.GetString()[i]);
    return out;
}

}  // namespace consumer

#define CHECK(expr) consumer::Check((expr), #expr, __FILE__, __LINE__)
