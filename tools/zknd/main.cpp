#include "Output.h"
#include "Zknd.h"

int main(int argc, char** argv)
{
    const std::unique_ptr<zknd::Output> console = zknd::MakeConsole();
    return zknd::Run(zknd::CommandLineArguments(argc, argv), *console);
}
