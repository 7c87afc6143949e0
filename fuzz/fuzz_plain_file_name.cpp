// ZkIsPlainFileName against the rule written out plainly, with a reason for
// every refusal and none for a name it takes; a name it takes, appended to a
// folder, is a file of that folder; ASCII letter case never changes the
// answer.

#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "platform/ZkPath.h"

namespace {

bool Forbidden(wchar_t c)
{
    return c < 0x20 || c == 0x7F || std::wstring(L"\\/:<>\"|?*").find(c) != std::wstring::npos;
}

// CON, PRN, AUX, NUL, COMn and LPTn (n a digit 1-9 or a superscript 1-3),
// compared on the part before the first dot, trailing spaces left out.
bool IsDevice(std::wstring stem)
{
    stem = stem.substr(0, stem.find(L'.'));
    stem.erase(stem.find_last_not_of(L' ') + 1);
    for (wchar_t& c : stem)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL")
        return true;
    const wchar_t d = stem.size() == 4 ? stem[3] : 0;
    return (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           ((d >= L'1' && d <= L'9') || d == 0xB9 || d == 0xB2 || d == 0xB3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* p = data;
    const std::wstring name = zkfuzz::CText(zkfuzz::WideText(p, data + size, 512));
    bool bExpected = !name.empty() && name.back() != L'.' && name.back() != L' ' && !IsDevice(name);
    for (wchar_t c : name)
        bExpected = bExpected && !Forbidden(c);

    const wchar_t* pszWhy = nullptr;
    const bool bPlain = ZkIsPlainFileName(name.c_str(), &pszWhy);
    ZK_FUZZ_CHECK(bPlain == bExpected);
    ZK_FUZZ_CHECK(bPlain == (pszWhy == nullptr));
    ZK_FUZZ_CHECK(bPlain || (pszWhy[0] != L'\0'));
    ZK_FUZZ_CHECK(bPlain == ZkIsPlainFileName(name.c_str()));

    std::wstring folded = name;
    for (wchar_t& c : folded)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    ZK_FUZZ_CHECK(ZkIsPlainFileName(folded.c_str()) == bPlain);

    if (bPlain) {
        const std::filesystem::path file(ZkToNativePath((L"\\folder\\" + name).c_str()));
        ZK_FUZZ_CHECK(file.parent_path() == std::filesystem::path(ZkToNativePath(L"\\folder")));
        ZK_FUZZ_CHECK(file.filename().native() == ZkToNativePath(name.c_str()));
    }
    ZK_FUZZ_CHECK(!ZkIsPlainFileName(nullptr));
    return 0;
}
