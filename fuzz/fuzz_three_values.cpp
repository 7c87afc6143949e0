// Three-number texts: any text either sets all three values or none, each
// value set is what strtod reads from its part, and what ZkU3ValueToText
// writes reads back bit for bit, for any three doubles.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "platform/ZkHost.h"

namespace {

bool SameValue(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// A NaN whose payload no conversion produces: marks a value left alone.
double Untouched()
{
    const uint64_t bits = 0x7FF4DEADBEEF0001ull;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool IsUntouched(double d)
{
    const double u = Untouched();
    return std::memcmp(&d, &u, sizeof d) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Three doubles from the first 24 bytes go out as text and come back.
    if (size >= 24) {
        double d[3];
        std::memcpy(d, data, sizeof d);
        const stu3Value v(d[0], d[1], d[2]);
        stu3Value back(Untouched(), Untouched(), Untouched());
        ZkTextToU3Value(ZkU3ValueToText(v), back);
        ZK_FUZZ_CHECK(SameValue(v.x, back.x) && SameValue(v.y, back.y) && SameValue(v.z, back.z));
    }

    const uint8_t* p = data;
    const std::wstring text = zkfuzz::CText(zkfuzz::WideText(p, data + size, 512));
    stu3Value v(Untouched(), Untouched(), Untouched());
    ZkTextToU3Value(text.c_str(), v);
    const double parts[3] = {v.x, v.y, v.z};
    const bool set = !IsUntouched(v.x);
    ZK_FUZZ_CHECK(set != IsUntouched(v.y) && set != IsUntouched(v.z));
    if (!set)
        return 0;
    // Set: exactly three comma-separated ASCII parts, each a number strtod
    // reads whole (after C white space and a '+' it also skips).
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(L',', start);
        ZK_FUZZ_CHECK((comma == std::wstring::npos) == (i == 2));
        const std::wstring part = text.substr(start, comma - start);
        std::string narrow(part.begin(), part.end());
        for (const wchar_t c : part)
            ZK_FUZZ_CHECK(c > 0 && c < 0x80);
        const size_t b = narrow.find_first_not_of(" \t\n\v\f\r");
        if (b != std::string::npos && narrow[b] == '+')
            narrow[b] = ' ';
        char* end = nullptr;
        const double expected = std::strtod(narrow.c_str(), &end);
        ZK_FUZZ_CHECK(end != narrow.c_str() &&
                      narrow.find_first_not_of(" \t\n\v\f\r", end - narrow.c_str()) ==
                          std::string::npos);
        ZK_FUZZ_CHECK(SameValue(expected, parts[i]));
        start = comma + 1;
    }
    return 0;
}
