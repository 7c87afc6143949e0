// White-box tests of the platform layer, through the static variant of the
// library: the file layer's fault hook and copies, GUIDs, the data directory
// fallback, and sorting without allocation.

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/CXTPPropExchange.h"
#include "platform/internal/files/DataDirectory.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/files/Os.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDecoder.h"

using zktest::Native;
using zktest::ReadBytes;

TEST(FileSystemTest, InterruptedWriteLeavesTheOldFileAndNoTemporary)
{
    zktest::ResetDataDirectory();
    const std::wstring path = zktest::DataDirectory() + L"库.xml";
    zktest::WriteBytes(Native(path), "old library");
    CXTPPropExchange px(0, nullptr, L"Lib");
    px.SetCompactMode(1);
    CString big(L'x', 100000);
    px.PX_String(L"Big", big);
    ZkFileSystem::SetWriteFaultForTesting(5000);
    EXPECT_NE(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_EQ("old library", ReadBytes(Native(path)));
    EXPECT_EQ(1u, zktest::FolderEntries(zktest::NativeDataDirectory()).size());
    // The fault is spent: the next write goes through.
    EXPECT_EQ(0, px.SaveToFile(path.c_str(), 1));
    EXPECT_GT(ReadBytes(Native(path)).size(), 100000u);
}

TEST(FileSystemTest, CopyFileOverwritesUnlessAskedNotToAndGuidsAreVersion4)
{
    const std::wstring folder = zktest::DataDirectory() + L"节点图\\";
    zktest::WriteBytes(Native(folder + L"a.dwg"), "drawing");
    zktest::WriteBytes(Native(folder + L"b.dwg"), "older");
    EXPECT_EQ(0, CopyFileW((folder + L"a.dwg").c_str(), (folder + L"b.dwg").c_str(), 1));
    EXPECT_EQ("older", ReadBytes(Native(folder + L"b.dwg")));
    EXPECT_NE(0, CopyFileW((folder + L"a.dwg").c_str(), (folder + L"b.dwg").c_str(), 0));
    EXPECT_EQ("drawing", ReadBytes(Native(folder + L"b.dwg")));
    EXPECT_EQ(0, CopyFileW((folder + L"none.dwg").c_str(), (folder + L"d.dwg").c_str(), 0));
    EXPECT_EQ(2u, zktest::FolderEntries(Native(folder)).size());

    GUID a{}, b{};
    EXPECT_EQ(0, CoCreateGuid(&a));
    EXPECT_EQ(0, CoCreateGuid(&b));
    EXPECT_NE(0, std::memcmp(&a, &b, sizeof a));
    EXPECT_EQ(0x4000, a.Data3 & 0xF000);
}

TEST(HostServicesTest, DataDirectoryFallbackAndLoneSurrogates)
{
    // Without a host the directory is still a usable library path.
    IZkHostApplication* const testHost = ZkGetHostApplication();
    ZkSetHostApplication(nullptr);
    const CString fallback = GetDataDirectory();
    ZkSetHostApplication(testHost);
    ASSERT_FALSE(fallback.IsEmpty());
    EXPECT_EQ(L'\\', fallback.GetAt(fallback.GetLength() - 1));
    EXPECT_EQ(-1, fallback.Find(L"/"));
}

// Bytes of a file in UTF-16 or UTF-32 (width 2 or 4), with its byte-order mark.
std::string WideFile(const std::vector<unsigned long>& units, size_t width, bool bBigEndian)
{
    std::string bytes;
    for (unsigned long u : units)
        for (size_t b = 0; b < width; ++b)
            bytes.push_back(static_cast<char>(u >> (8 * (bBigEndian ? width - 1 - b : b))));
    return bytes;
}

std::string Decoded(const std::string& bytes, bool& bOk, size_t& nWarnings)
{
    ZkXmlDecoder::DecodedText text;
    ZkDiag::Capture capture;
    bOk = ZkXmlDecoder::Decode(ZkFileSystem::Bytes(bytes.begin(), bytes.end()), text, &capture);
    nWarnings = capture.warnings.size();
    return bOk ? std::string(text.Data(), text.Size()) : std::string();
}

// Characters at the edges of UTF-8's and UTF-16's forms, and sequences that
// are none, through every conversion: UTF-8 to units (as text and as a parsed
// value), the check of a file's UTF-8, one code point each way, the
// platform's wide text to units, and units to UTF-8 (as text, and as a file
// in UTF-16 or UTF-32 of either byte order).
TEST(UnicodeTest, EveryConversionAgreesAtTheEdges)
{
    using ZkText::Utf8Fault;
    const wchar_t R = 0xFFFD;
    struct Row {
        std::string utf8;
        std::wstring units;  // what the bytes read as
        Utf8Fault fault;     // as a file's text
    };
    const Row rows[] = {
        {"\x7F", {0x7F}, Utf8Fault::kNone},
        {"\xC2\x80", {0x80}, Utf8Fault::kNone},
        {"\xDF\xBF", {0x7FF}, Utf8Fault::kNone},
        {"\xE0\xA0\x80", {0x800}, Utf8Fault::kNone},
        {"\xED\x9F\xBF", {0xD7FF}, Utf8Fault::kNone},
        {"\xEE\x80\x80", {0xE000}, Utf8Fault::kNone},
        {"\xEF\xBF\xBD", {R}, Utf8Fault::kNone},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}, Utf8Fault::kNone},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}, Utf8Fault::kNone},
        {"\x01", {0x01}, Utf8Fault::kForbidden},
        {"\xEF\xBF\xBE", {0xFFFE}, Utf8Fault::kForbidden},
        {"\xEF\xBF\xBF", {0xFFFF}, Utf8Fault::kForbidden},
        // No UTF-8: U+FFFD for each byte.
        {"\x80", {R}, Utf8Fault::kInvalid},                       // a continuation alone
        {"\xC0\x80", {R, R}, Utf8Fault::kInvalid},                // overlong
        {"\xE0\x9F\xBF", {R, R, R}, Utf8Fault::kInvalid},         // overlong
        {"\xF0\x8F\xBF\xBF", {R, R, R, R}, Utf8Fault::kInvalid},  // overlong
        {"\xED\xA0\x80", {R, R, R}, Utf8Fault::kInvalid},         // a surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}, Utf8Fault::kInvalid},  // beyond U+10FFFF
        {"\xE7\xAE", {R, R}, Utf8Fault::kInvalid},                // cut short
        {"\xF5\x80", {R, R}, Utf8Fault::kInvalid},
    };
    for (const Row& r : rows) {
        const std::string at = ZkText::Utf16ToUtf8(r.units.data(), r.units.size());
        const auto* s = reinterpret_cast<const unsigned char*>(r.utf8.data());
        const size_t n = r.utf8.size();
        EXPECT_EQ(r.units, ZkText::Utf8ToUtf16(r.utf8.data(), n)) << at;
        // In a parsed value the characters XML forbids come from references.
        std::wstring parsed;
        ZkText::AssignUtf8(parsed, r.utf8.data(), n);
        EXPECT_EQ(r.fault == Utf8Fault::kForbidden ? std::wstring(1, R) : r.units, parsed) << at;
        Utf8Fault fault = Utf8Fault::kNone;
        EXPECT_EQ(r.fault == Utf8Fault::kNone ? n : 0,
                  ZkText::ValidXmlUtf8(r.utf8.data(), n, fault));
        EXPECT_EQ(r.fault, fault) << at;
        size_t len = 0;
        const unsigned long c = ZkText::DecodeUtf8(s, n, len);
        if (r.fault == Utf8Fault::kInvalid) {
            EXPECT_TRUE(c == ZkText::kNotUtf8 && len == 1) << at;
            continue;
        }
        EXPECT_EQ(n, len) << at;
        char bytes[4];
        wchar_t units[2];
        EXPECT_EQ(r.utf8, std::string(bytes, ZkText::EncodeUtf8(bytes, c))) << at;
        EXPECT_EQ(r.units, std::wstring(units, ZkText::EncodeUtf16(units, c))) << at;
        EXPECT_EQ(r.utf8, at);
        std::wstring wide =
            sizeof(wchar_t) == 4 ? std::wstring(1, static_cast<wchar_t>(c)) : r.units;
        std::wstring fromWide;
        ZkText::AppendUnits(fromWide, wide.data(), wide.size());
        EXPECT_EQ(r.units, fromWide) << at;
        for (const bool bBig : {false, true}) {
            bool bOk = false;
            size_t nWarnings = 0;
            std::vector<unsigned long> units16(r.units.begin(), r.units.end());
            units16.insert(units16.begin(), 0xFEFF);
            EXPECT_EQ(r.utf8, Decoded(WideFile(units16, 2, bBig), bOk, nWarnings)) << at;
            EXPECT_EQ(r.utf8, Decoded(WideFile({0xFEFF, c}, 4, bBig), bOk, nWarnings)) << at;
        }
    }
    if (sizeof(wchar_t) == 4) {
        const wchar_t beyond[] = {static_cast<wchar_t>(0x110000)};
        std::wstring units;
        ZkText::AppendUnits(units, beyond, 1);
        EXPECT_EQ(std::wstring(1, R), units);
    }
    // Lone surrogates: U+FFFD from units, recorded when a file holds them in
    // UTF-16; malformed in UTF-32.
    const std::wstring lone[] = {
        {0xD800}, {0xDC00}, {0xDC00, 0xD800}, {0xD800, L'x'}, {L'x', 0xDBFF}};
    for (const std::wstring& units : lone) {
        std::string utf8;
        for (const wchar_t u : units)
            utf8 += u == L'x' ? "x" : "\xEF\xBF\xBD";
        EXPECT_EQ(utf8, ZkText::Utf16ToUtf8(units.data(), units.size()));
        std::vector<unsigned long> file(units.begin(), units.end());
        file.insert(file.begin(), 0xFEFF);
        bool bOk = false;
        size_t nWarnings = 0;
        EXPECT_EQ(utf8, Decoded(WideFile(file, 2, true), bOk, nWarnings));
        EXPECT_EQ(utf8.size() / 3, nWarnings);
        Decoded(WideFile(file, 4, false), bOk, nWarnings);
        EXPECT_FALSE(bOk);
    }
}

// Counts every allocation of the process (array and nothrow forms fall back on
// this one), to show that comparing and sorting allocate nothing.
namespace {
long g_nNewCalls = 0;
}

void* operator new(std::size_t n)
{
    ++g_nNewCalls;
    if (void* p = std::malloc(n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(NodeDetailAllocationTest, SortingDoesNotAllocate)
{
    const wchar_t* stems[] = {L"\u7BA1\u9053\u652F\u67B6-Detail ", L"Detail-0",
                              L"detail_77777777777777777777777777777777x"};
    std::vector<NodeDetailResData> v;
    for (int i = 0; i < 300; ++i)
        v.emplace_back((stems[i % 3] + std::to_wstring(i * 7919 % 257) + L"." +
                        std::to_wstring(i % 13) + L"b long enough for the heap")
                           .c_str());
    CNodeDetailResDataManager* pMgr = CNodeDetailResDataManager::Instance();
    pMgr->SetVecNodeDetailResData(v);
    const long before = g_nNewCalls;
    pMgr->SortData();  // thousands of comparisons, long digit runs among them
    EXPECT_EQ(before, g_nNewCalls);
    pMgr->GetVecNodeDetailResData(v);
    for (size_t i = 1; i < v.size(); ++i)
        EXPECT_FALSE(v[i] < v[i - 1]) << i;
    pMgr->SetVecNodeDetailResData({});
}
