#pragma once

// The data directory that the test process registers with the library before
// any test runs (the managers fetch it once, on first use).

#include <filesystem>
#include <string>

namespace zktest {

// Library form, ending with a backslash.
std::wstring DataDirectory();
std::filesystem::path NativeDataDirectory();
// Removes everything under the data directory.
void ResetDataDirectory();

}  // namespace zktest
