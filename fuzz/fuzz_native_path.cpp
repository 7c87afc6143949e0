// Library paths and native paths, both ways: a library path comes back with
// '/' as '\' and each lone surrogate as U+FFFD; valid UTF-8 without a
// backslash comes back byte for byte; any bytes settle after one round.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/ZkPath.h"

namespace {

bool IsHigh(wchar_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLow(wchar_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80                ? 1
                         : b >= 0xC2 && b < 0xE0 ? 2
                         : b >= 0xE0 && b < 0xF0 ? 3
                         : b >= 0xF0 && b < 0xF5 ? 4
                                                 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        unsigned long cp = n == 1 ? b : b & (0xFF >> (n + 1));
        for (size_t k = 1; k < n; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (c & 0x3F);
        }
        const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    const std::wstring path = zkfuzz::CText(zkfuzz::WideText(p, data + size, 1024));
    std::wstring expected = path;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == L'/')
            expected[i] = L'\\';
        else if (IsHigh(expected[i]) && i + 1 < expected.size() && IsLow(expected[i + 1]))
            ++i;
        else if (IsHigh(expected[i]) || IsLow(expected[i]))
            expected[i] = 0xFFFD;
    }
    const CString back = ZkFromNativePath(ZkToNativePath(path.c_str()));
    ZK_FUZZ_CHECK(std::wstring(back.GetString(), static_cast<size_t>(back.GetLength())) ==
                  expected);

    const ZkNativeString native(reinterpret_cast<const char*>(data), size);
    const ZkNativeString once = ZkToNativePath(ZkFromNativePath(native));
    ZK_FUZZ_CHECK(ZkToNativePath(ZkFromNativePath(once)) == once);
    if (IsUtf8(native) && native.find('\\') == std::string::npos &&
        native.find('\0') == std::string::npos)
        ZK_FUZZ_CHECK(once == native);
    return 0;
}
