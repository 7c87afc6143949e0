#pragma once

// The tests' names and values are ASCII: a library text as a std::string for
// messages and comparisons, without a conversion that could hide a fault.

#include <string>

namespace zktest {

template <typename Text>
std::string Ascii(const Text& text)
{
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i)
        out += static_cast<char>(text.GetAt(i));
    return out;
}

}  // namespace zktest
