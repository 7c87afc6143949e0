// The wide string's operators (+, ==, !=) against std::wstring on
// any two texts of UTF-16 units.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/CString.h"

namespace {

std::wstring Units(const CString& s)
{
    return std::wstring(s.GetString(), static_cast<size_t>(s.GetLength()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    const std::wstring a = zkfuzz::CText(zkfuzz::WideText(p, data + size / 2, 1024));
    const std::wstring b = zkfuzz::CText(zkfuzz::WideText(p, data + size, 1024));
    const CString ca(a.c_str());
    const CString cb(b.c_str());
    ZK_FUZZ_CHECK(Units(ca) == a && Units(cb) == b);
    const std::wstring ab = a + b;
    ZK_FUZZ_CHECK(Units(ca + cb) == ab && Units(ca + b.c_str()) == ab &&
                  Units(a.c_str() + cb) == ab);
    const bool same = a == b;
    ZK_FUZZ_CHECK((ca == cb) == same && (ca == b.c_str()) == same && (a.c_str() == cb) == same);
    ZK_FUZZ_CHECK((ca != cb) != same && (ca != b.c_str()) != same && (a.c_str() != cb) != same);
    ZK_FUZZ_CHECK(ca == a.c_str() && !(ca != a.c_str()));
    return 0;
}
