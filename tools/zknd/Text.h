#pragma once

// Text as zknd shows it: the library's UTF-16 units as UTF-8, columns on a
// terminal, and names compared as the library compares them.

#include <string>

#include "Utf8Text.h"
#include "platform/CString.h"

namespace zknd {

// UTF-8 of the library's text; a lone surrogate becomes U+FFFD.
using ZkUtf8Text::Utf8;
// The library's text of UTF-8; an invalid sequence becomes U+FFFD.
CString FromUtf8(const std::string& text);
// Columns the text takes on a terminal: East Asian wide and fullwidth
// characters take two, controls and combining marks none.
size_t DisplayWidth(const std::string& utf8);
// The text on one line: tabs, line ends and other controls become spaces.
std::string OneLine(std::string utf8);

}  // namespace zknd
