#include <unistd.h>

#include <cstdio>

#include "Output.h"

namespace zknd {

namespace {

class Console : public Output {
public:
    void Out(const std::string& utf8) override
    {
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    }
    void Err(const std::string& utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }
    bool ErrIsTerminal() const override { return isatty(STDERR_FILENO) != 0; }
};

}  // namespace

std::unique_ptr<Output> MakeConsole()
{
    return std::make_unique<Console>();
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace zknd
