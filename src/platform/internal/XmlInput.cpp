#include "platform/internal/XmlInput.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/internal/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ZkXmlInput {

namespace {

using ZkDiag::Capture;
using ZkDiag::Outcome;

bool Malformed(Capture* pCapture, const char* text, size_t size, size_t offset, const char* reason)
{
    if (pCapture != nullptr) {
        pCapture->Fail(Outcome::kMalformed, reason);
        pCapture->at = ZkDiag::LineCounter(text, size).At(offset);
    }
    return false;
}

bool Undecodable(Capture* pCapture, const std::string& name)
{
    if (pCapture != nullptr) {
        pCapture->Fail(Outcome::kUndecodableEncoding, "no decoder for the declared encoding");
        pCapture->strName = ZkDiag::WideFromUtf8(name);
    }
    return false;
}

void Replaced(Capture* pCapture, ZkDiag::LineCounter& lines, size_t offset, unsigned long ch)
{
    if (pCapture == nullptr)
        return;
    ZkDiag::Warning w;
    w.kind = ZkDiag::WarningKind::kReplacedCharacter;
    w.at = lines.At(offset);
    w.nCharacter = ch;
    pCapture->Add(std::move(w));
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD and a warning.
bool FromUtf16(const std::string& raw, size_t begin, bool bBigEndian, Text& text, Capture* pCapture)
{
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    std::string& out = text.bytes;
    out.clear();
    out.reserve((n - begin) / 2 * 3 / 2);
    auto unit = [&](size_t i) -> unsigned long {
        return bBigEndian ? (s[i] << 8) | s[i + 1] : (s[i + 1] << 8) | s[i];
    };
    // Found before the lines are counted.
    std::vector<std::pair<size_t, unsigned long>> replaced;
    size_t i = begin;
    for (; i + 1 < n; i += 2) {
        unsigned long c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < n && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            replaced.emplace_back(out.size(), c);
            c = 0xFFFD;
        }
        char buf[4];
        out.append(buf, static_cast<size_t>(ZkText::EncodeUtf8(buf, c) - buf));
    }
    if (i != n)
        return Malformed(pCapture, out.data(), out.size(), out.size(),
                         "UTF-16 text ends in the middle of a character");
    ZkDiag::LineCounter lines(out.data(), out.size());
    for (const auto& r : replaced)
        Replaced(pCapture, lines, r.first, r.second);
    return true;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoding name of a declaration at the very start, and where the
// declaration ends; false when there is none or it names no encoding.
bool DeclaredEncoding(const char* p, size_t n, std::string& name, size_t& nDeclEnd)
{
    if (n < 6 || std::memcmp(p, "<?xml", 5) != 0 || !IsSpace(p[5]))
        return false;
    const size_t limit = n < 1024 ? n : 1024;
    size_t end = 5;
    while (end + 1 < limit && !(p[end] == '?' && p[end + 1] == '>'))
        ++end;
    if (end + 1 >= limit)
        return false;
    nDeclEnd = end + 2;
    const std::string decl(p, end);
    size_t at = decl.find("encoding");
    if (at == std::string::npos)
        return false;
    at += 8;
    while (at < decl.size() && IsSpace(decl[at]))
        ++at;
    if (at >= decl.size() || decl[at] != '=')
        return false;
    ++at;
    while (at < decl.size() && IsSpace(decl[at]))
        ++at;
    if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\''))
        return false;
    const size_t close = decl.find(decl[at], at + 1);
    if (close == std::string::npos)
        return false;
    name = decl.substr(at + 1, close - at - 1);
    return true;
}

// XML's EncName: a letter, then letters, digits, '.', '_' and '-'.
bool IsEncName(const std::string& name)
{
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.empty() || !letter(name[0]))
        return false;
    for (const char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-')
            return false;
    return true;
}

bool IsGbFamily(const std::string& name)
{
    for (const char* gb : {"GB2312", "GBK", "GB18030", "CP936", "MS936", "WINDOWS-936", "X-GBK",
                           "EUC-CN", "CSGB2312", "GB_2312-80"})
        if (SameEncodingName(name, gb))
            return true;
    return false;
}

bool IsUnicodeOtherThanUtf8(const std::string& name)
{
    std::string upper;
    for (char c : name)
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return upper.compare(0, 6, "UTF-16") == 0 || upper.compare(0, 6, "UTF-32") == 0 ||
           upper.compare(0, 4, "UCS-") == 0 || upper.compare(0, 4, "UCS2") == 0 ||
           upper.compare(0, 4, "UCS4") == 0;
}

// A character reference at p[i] ("&#"): one to a character that XML forbids
// has its digits rewritten to stand for U+0001, and is reported.
void CheckReference(char* p, size_t n, size_t i, Capture* pCapture, ZkDiag::LineCounter& lines)
{
    size_t j = i + 2;
    const bool bHex = j < n && p[j] == 'x';
    if (bHex)
        ++j;
    const size_t first = j;
    unsigned long v = 0;
    for (; j < n; ++j) {
        const char c = p[j];
        unsigned d = 0;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (bHex && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (bHex && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        v = v * (bHex ? 16 : 10) + d;
        if (v > 0x110000)
            v = 0x110000;
    }
    if (j == first || j >= n || p[j] != ';')
        return;  // not a reference: it stays text
    const bool bForbidden = v == 0 || (v < 0x20 && v != 0x9 && v != 0xA && v != 0xD) ||
                            (v >= 0xD800 && v <= 0xDFFF) || v == 0xFFFE || v == 0xFFFF ||
                            v > 0x10FFFF;
    if (!bForbidden)
        return;
    Replaced(pCapture, lines, i, v);
    for (size_t k = first; k < j; ++k)
        p[k] = k + 1 == j ? '1' : '0';
}

// The length of the run of plain bytes at p: printable ASCII other than
// '<', '>', '&' and quotes, which need no look.
size_t PlainRun(const unsigned char* p, size_t n)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i dq = _mm_set1_epi8('"');
    const __m128i sq = _mm_set1_epi8('\'');
    const __m128i space = _mm_set1_epi8(0x20);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed: bytes from 0x80 on are negative, so they count as below 0x20.
        const __m128i bad = _mm_or_si128(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmplt_epi8(v, space))),
            _mm_or_si128(_mm_cmpeq_epi8(v, dq), _mm_cmpeq_epi8(v, sq)));
        const int mask = _mm_movemask_epi8(bad);
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x20 || c >= 0x80 || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'')
            break;
    }
    return i;
}

// A three-byte UTF-8 character whose lead needs no range check: not an
// overlong form, a surrogate, U+FFFE or U+FFFF.
bool IsPlainThreeByte(const unsigned char* p)
{
    return (p[0] & 0xF0) == 0xE0 && p[0] != 0xE0 && p[0] != 0xED && p[0] != 0xEF &&
           (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80;
}

// Valid UTF-8 and only characters XML allows raw; comments, CDATA sections
// and processing instructions noted, references outside them checked.
bool ScanUtf8(Text& text, Capture* pCapture)
{
    char* const p = text.Data();
    const size_t n = text.Size();
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    ZkDiag::LineCounter lines(p, n);
    const char* close = nullptr;  // the end of the comment, CDATA or PI we are in
    size_t rawStart = 0;
    int declDepth = 0;    // inside "<!...>": 1 + open brackets
    bool bInTag = false;  // between '<' and '>' of a start or end tag
    bool bInEndTag = false;
    char quote = 0;          // the quote of the attribute value we are in
    size_t startTagEnd = 0;  // just past the '>' of the last start tag, 0: none since
    size_t i = 0;
    while (i < n) {
        if (close == nullptr && declDepth == 0) {
            i += PlainRun(s + i, n - i);
            if (i >= n)
                break;
        }
        // Runs of three-byte characters (CJK) that need no closer look.
        size_t j = i;
        while (j + 3 <= n && IsPlainThreeByte(s + j))
            j += 3;
        if (j != i) {
            i = j;
            continue;
        }
        const unsigned c = s[i];
        if (c >= 0x80) {
            unsigned long v = 0;
            size_t len = 0;
            if (c >= 0xC2 && c <= 0xDF) {
                v = c & 0x1F;
                len = 2;
            } else if (c >= 0xE0 && c <= 0xEF) {
                v = c & 0x0F;
                len = 3;
            } else if (c >= 0xF0 && c <= 0xF4) {
                v = c & 0x07;
                len = 4;
            }
            if (len == 0 || i + len > n)
                return Malformed(pCapture, p, n, i, "invalid UTF-8");
            for (size_t k = 1; k < len; ++k) {
                if ((s[i + k] & 0xC0) != 0x80)
                    return Malformed(pCapture, p, n, i, "invalid UTF-8");
                v = (v << 6) | (s[i + k] & 0x3F);
            }
            if ((len == 3 && v < 0x800) || (len == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
                (v >= 0xD800 && v <= 0xDFFF))
                return Malformed(pCapture, p, n, i, "invalid UTF-8");
            if (v == 0xFFFE || v == 0xFFFF)
                return Malformed(pCapture, p, n, i, "a character XML does not allow");
            i += len;
            continue;
        }
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return Malformed(pCapture, p, n, i, "a character XML does not allow");
        if (close != nullptr) {
            const size_t k = std::strlen(close);
            if (c == '>' && i + 1 >= rawStart + k && std::memcmp(p + i + 1 - k, close, k) == 0)
                close = nullptr;
        } else if (declDepth > 0) {
            // A DOCTYPE or other declaration: skipped, brackets and all.
            declDepth += c == '[' ? 1 : c == ']' ? -1 : 0;
            if (c == '>' && declDepth == 1)
                declDepth = 0;
        } else if (quote != 0) {
            if (c == static_cast<unsigned char>(quote))
                quote = 0;
            else if (c == '<')
                return Malformed(pCapture, p, n, i, "'<' in an attribute value");
            else if (c == '&' && i + 1 < n && p[i + 1] == '#')
                CheckReference(p, n, i, pCapture, lines);
        } else if (bInTag) {
            if (c == '"' || c == '\'')
                quote = static_cast<char>(c);
            else if (c == '>') {
                bInTag = false;
                startTagEnd = !bInEndTag && p[i - 1] != '/' ? i + 1 : 0;
            }
        } else if (c == '<' && i + 1 < n) {
            bInEndTag = p[i + 1] == '/';
            if (bInEndTag && startTagEnd != 0 && startTagEnd < i) {
                size_t k = startTagEnd;
                while (k < i && (p[k] == ' ' || p[k] == '\t' || p[k] == '\n' || p[k] == '\r'))
                    ++k;
                text.bWhiteSpaceValues = text.bWhiteSpaceValues || k == i;
            }
            startTagEnd = 0;
            if (n - i >= 4 && std::memcmp(p + i, "<!--", 4) == 0)
                close = "-->", rawStart = i + 4;
            else if (n - i >= 9 && std::memcmp(p + i, "<![CDATA[", 9) == 0)
                close = "]]>", rawStart = i + 9;
            else if (p[i + 1] == '?')
                close = "?>", rawStart = i + 2;
            else if (p[i + 1] == '!')
                declDepth = 1;
            else
                bInTag = true;
            text.bMarkupInText = text.bMarkupInText || (close != nullptr && i > 0);
        } else if (c == '&' && i + 1 < n && p[i + 1] == '#') {
            CheckReference(p, n, i, pCapture, lines);
        }
        ++i;
    }
    return true;
}

}  // namespace

bool SameEncodingName(const std::string& name, const char* upper)
{
    size_t i = 0;
    for (; i < name.size() && upper[i] != 0; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return i == name.size() && upper[i] == 0;
}

bool Prepare(std::string&& raw, Text& text, Capture* pCapture)
{
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    text.nBegin = 0;
    text.bMarkupInText = false;
    text.bWhiteSpaceValues = false;
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        if (!FromUtf16(raw, 2, b[0] == 0xFE, text, pCapture))
            return false;
    } else if (n >= 2 && ((b[0] == '<' && b[1] == 0) || (b[0] == 0 && b[1] == '<'))) {
        if (!FromUtf16(raw, 0, b[0] == 0, text, pCapture))
            return false;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        text.bytes = std::move(raw);
        text.nBegin = 3;
    } else {
        std::string name;
        size_t nDeclEnd = 0;
        if (!DeclaredEncoding(raw.data(), n, name, nDeclEnd) || SameEncodingName(name, "UTF-8") ||
            SameEncodingName(name, "UTF8")) {
            text.bytes = std::move(raw);
        } else {
            if (!IsEncName(name) || IsUnicodeOtherThanUtf8(name))
                return Undecodable(pCapture, name);
            std::string out;
            size_t nBad = 0;
            const DecodeResult r =
                DecodeToUtf8(IsGbFamily(name) ? "GB18030" : name, raw.data(), n, out, nBad);
            if (r == DecodeResult::kUnknownEncoding)
                return Undecodable(pCapture, name);
            if (r == DecodeResult::kInvalidBytes)
                return Malformed(pCapture, out.data(), out.size(), out.size(),
                                 ("bytes that are not " + name).c_str());
            // A decoder that is not ASCII-compatible would not give the
            // declaration back: its text would be garbage.
            if (out.compare(0, nDeclEnd, raw, 0, nDeclEnd) != 0)
                return Undecodable(pCapture, name);
            text.bytes = std::move(out);
        }
    }
    return ScanUtf8(text, pCapture);
}

}  // namespace ZkXmlInput
