// ZkIsNumericText against the decimal grammar written as a regular
// expression: an optional sign, digits with an optional fraction, at least one
// digit, nothing else.

#include <cstdint>
#include <regex>
#include <string>

#include "FuzzSupport.h"
#include "platform/ZkHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    // The regular expression recurses per character: keep the text short.
    const std::wstring text = zkfuzz::CText(zkfuzz::WideText(p, data + size, 256));
    static const std::wregex decimal(L"[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)");
    ZK_FUZZ_CHECK(ZkIsNumericText(text.c_str()) == std::regex_match(text, decimal));
    ZK_FUZZ_CHECK(!ZkIsNumericText(nullptr));
    return 0;
}
