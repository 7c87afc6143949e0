// The leading-number conversion of the natural name order against the C
// library's strtod on the same ASCII text: the same double, bit for bit,
// whatever the number of digits.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "platform/internal/text/Number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    const std::wstring text = zkfuzz::WideText(p, data + size);
    const double got = ZkNumber::ParseLeading(text.data(), text.size());

    // strtod also reads "inf", "nan" and hexadecimal numbers, which the
    // conversion does not: the reference sees the text only up to the first
    // character that no decimal number holds. A unit beyond ASCII ends it too.
    std::string narrow;
    size_t i = 0;
    while (i < text.size() && text[i] != 0 && text[i] < 0x80 &&
           std::strchr(" \t\n\v\f\r", static_cast<char>(text[i])) != nullptr)
        narrow += static_cast<char>(text[i++]);
    for (; i < text.size() && text[i] != 0 && text[i] < 0x80 &&
           std::strchr("0123456789.eE+-", static_cast<char>(text[i])) != nullptr;
         ++i)
        narrow += static_cast<char>(text[i]);
    const double expected = std::strtod(narrow.c_str(), nullptr);
    ZK_FUZZ_CHECK(std::memcmp(&got, &expected, sizeof got) == 0);
    return 0;
}
