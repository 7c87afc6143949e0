#pragma once

// Where zknd writes: standard output and standard error, in UTF-8 here and in
// the console's encoding at the far end.

#include <memory>
#include <string>
#include <vector>

namespace zknd {

class Output {
public:
    virtual ~Output() = default;
    virtual void Out(const std::string& utf8) = 0;
    virtual void Err(const std::string& utf8) = 0;
    // Whether standard error is a terminal that a progress line may use.
    virtual bool ErrIsTerminal() const { return false; }
};

// Keeps what is written, for programs that run zknd in their own process.
class StringOutput : public Output {
public:
    void Out(const std::string& utf8) override { m_out += utf8; }
    void Err(const std::string& utf8) override { m_err += utf8; }
    std::string m_out;
    std::string m_err;
};

// The process's own streams (System_posix.cpp, System_windows.cpp): UTF-8
// on POSIX systems; on Windows wide text to a console, UTF-8 when redirected.
std::unique_ptr<Output> MakeConsole();
// The command line's arguments after the program's name, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace zknd
