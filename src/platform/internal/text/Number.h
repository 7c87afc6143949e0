#pragma once

// Numbers in text (not exported): the whole-text parse that property values
// and the parts of a three-number text go through, the decimal-text test, and
// the leading-number conversion of the natural name order. None of them
// allocates.

#include <cstddef>

#include "platform/stu3Value.h"

namespace ZkNumber {

// What a whole-text parse allows around the number. Its two users have
// always differed here, and a text that read before must read the same.
struct WholeTextRules {
    const char* pszSpaces;  // skipped at both ends
    bool bPlusBeforeSign;   // "+-1" reads as -1
    size_t nMaxLength;      // of what is left after the spaces and a '+'
};

// Property values (UTF-8): XML white space, no "+-", any length.
extern const WholeTextRules kPropertyValue;
// One part of a three-number text: C white space, "+-" read, at most 127 units.
extern const WholeTextRules kThreeNumberPart;

// True when all of [p, p + n), after the rules' spaces and an optional '+', is
// one number as std::from_chars reads it (decimal with an optional exponent,
// "inf", "nan"); out is then set, else left as it was.
bool ParseWhole(const char* p, size_t n, const WholeTextRules& rules, double& out);
bool ParseWhole(const char* p, size_t n, const WholeTextRules& rules, int& out);
// Wide text, at most 127 units after the spaces; a unit beyond ASCII fails.
bool ParseWhole(const wchar_t* p, size_t n, const WholeTextRules& rules, double& out);

// An optional sign, digits with an optional fraction, at least one digit,
// nothing else.
bool IsDecimal(const wchar_t* p, size_t n);

// The leading decimal number of [p, p + n) as the C runtime's wide conversion
// (_wtof) reads it: 0.0 when there is none, +-inf on overflow.
double ParseLeading(const wchar_t* p, size_t n);

// Writes value as std::to_chars(first, last, value) does, the shortest text
// that reads back as the same double, and returns the end; quicker for the
// values a drawing holds (up to four decimals). [first, last) must be large
// enough for any double (32 characters).
char* ShortestText(char* first, char* last, double value);
// "x,y,z", each part as ShortestText writes it; [first, last) must hold three
// of any double (100 characters).
char* ThreeNumberText(char* first, char* last, const stu3Value& value);

}  // namespace ZkNumber
