#pragma once

// Text as zknd shows it: columns on a terminal, and one line per problem.
// The library's UTF-16 text becomes UTF-8 through Utf.h.

#include <cstdint>
#include <string>

#include "Utf.h"

namespace zknd {

using ZkUtf::FromUtf8;
using ZkUtf::Utf8;

// Columns the text takes on a terminal: East Asian wide and fullwidth
// characters take two, controls and combining marks none.
size_t DisplayWidth(const std::string& utf8);
// The text on one line: tabs, line ends and other controls become spaces.
std::string OneLine(std::string utf8);
// A name or GUID text in a message, in double quotes; QuotedLine also on one
// line, for output that is not made one line as a whole.
std::string Quoted(const CString& text);
std::string QuotedLine(const CString& text);
// A moment, in seconds since 1970-01-01T00:00:00Z, as "20261207T124054Z"
// (UTC, in the proleptic Gregorian calendar).
std::string UtcStamp(std::int64_t nSeconds);

}  // namespace zknd
