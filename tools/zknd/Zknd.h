#pragma once

// zknd, a doctor for a data directory of the node-detail library. Run takes
// the arguments after the program's name (UTF-8) and answers the exit
// status; main() and the programs that run zknd in their own process (its
// tests, the benchmark) call it.

#include <string>
#include <vector>

#include "Output.h"

namespace zknd {

int Run(const std::vector<std::string>& vecArg, Output& out);

}  // namespace zknd
