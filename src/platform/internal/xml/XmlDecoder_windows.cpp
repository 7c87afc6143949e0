#include "platform/internal/files/Os.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDecoder.h"

// The system's code-page conversion, with the encoding names XML files use
// mapped to code pages.

namespace ZkXmlDecoder {

namespace {

struct NamedCodePage {
    const char* name;
    UINT codePage;
};

const NamedCodePage kCodePages[] = {
    {"GB18030", 54936},     {"BIG5", 950},          {"SHIFT_JIS", 932},      {"SJIS", 932},
    {"EUC-JP", 20932},      {"EUC-KR", 51949},      {"KS_C_5601-1987", 949}, {"US-ASCII", 20127},
    {"ASCII", 20127},       {"ISO-8859-1", 28591},  {"LATIN1", 28591},       {"ISO-8859-2", 28592},
    {"ISO-8859-5", 28595},  {"ISO-8859-7", 28597},  {"ISO-8859-15", 28605},  {"KOI8-R", 20866},
    {"WINDOWS-1250", 1250}, {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252},  {"WINDOWS-1253", 1253},
    {"WINDOWS-1254", 1254}, {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256},  {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258}, {"CP1252", 1252},
};

int Convert(UINT cp, const char* p, size_t n, std::wstring* pOut)
{
    const int nIn = static_cast<int>(n);
    const int nOut = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, nIn, nullptr, 0);
    if (nOut <= 0 || pOut == nullptr)
        return nOut;
    pOut->resize(static_cast<size_t>(nOut));
    return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, nIn, &(*pOut)[0], nOut);
}

void Append(ZkFileSystem::Bytes& out, const wchar_t* p, size_t n)
{
    const std::string utf8 = ZkText::Utf16ToUtf8(p, n);
    out.insert(out.end(), utf8.begin(), utf8.end());
}

}  // namespace

DecodeResult DecodeToUtf8(const std::string& strEncoding, const char* p, size_t n,
                          ZkFileSystem::Bytes& out, size_t& nBadOffset)
{
    UINT cp = 0;
    for (const NamedCodePage& entry : kCodePages)
        if (SameEncodingName(strEncoding, entry.name))
            cp = entry.codePage;
    if (cp == 54936 && !IsValidCodePage(cp))
        cp = 936;  // GBK, where the system lacks GB18030
    if (cp == 0 || !IsValidCodePage(cp))
        return DecodeResult::kUnknownEncoding;
    std::wstring wide;
    if (n == 0 || Convert(cp, p, n, &wide) > 0) {
        Append(out, wide.data(), wide.size());
        return DecodeResult::kOk;
    }
    // Find the bad bytes: the first line that does not convert, then the
    // longest start of it that does. LF is never part of a multi-byte
    // character in these code pages.
    size_t lineStart = 0;
    for (;;) {
        size_t lineEnd = lineStart;
        while (lineEnd < n && p[lineEnd] != '\n')
            ++lineEnd;
        if (lineEnd == n || Convert(cp, p + lineStart, lineEnd + 1 - lineStart, nullptr) <= 0)
            break;
        lineStart = lineEnd + 1;
    }
    size_t good = 0;
    for (size_t k = 1; lineStart + k <= n && p[lineStart + k - 1] != '\n'; ++k)
        if (Convert(cp, p + lineStart, k, nullptr) > 0)
            good = k;
    Convert(cp, p, lineStart + good, &wide);
    Append(out, wide.data(), lineStart + good == 0 ? 0 : wide.size());
    nBadOffset = lineStart + good;
    return DecodeResult::kInvalidBytes;
}

}  // namespace ZkXmlDecoder
