// XML's names and character references, and the characters it forbids.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlChecker.h"
#include "platform/internal/xml/XmlDecoder.h"

namespace ZkXmlDecoder {

namespace {

// What may stand before an attribute's name: white space (in a tag the
// parser accepts, always), or the end of a value. The text before the first
// invalid byte holds no control character but TAB, LF and CR.
bool EndsName(char c)
{
    return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'';
}

// Whether the names that end at a and at b are the same, compared from their
// ends back, where names mostly differ at once; tagStart bounds both.
bool SameName(const char* p, size_t tagStart, size_t a, size_t b)
{
    for (;; --a, --b) {
        const char ca = a > tagStart ? p[a - 1] : ' ';
        const char cb = b > tagStart ? p[b - 1] : ' ';
        if (ca != cb)
            return EndsName(ca) && EndsName(cb);
        if (EndsName(ca))
            return true;
    }
}

}  // namespace

// Where the name of the first attribute of a start tag that repeats an
// earlier one starts, or npos; ends holds where each name ends. Each is
// compared with the first 32 and, beyond them, with the ones after it, as a
// walk over the parsed attributes would.
size_t DuplicateAttribute(const char* p, size_t tagStart, const std::vector<size_t>& ends)
{
    const size_t kKept = 32;
    size_t dup = std::string::npos;
    for (size_t k = 1; k < ends.size() && dup == std::string::npos; ++k) {
        for (size_t j = 0; j < k && j < kKept && dup == std::string::npos; ++j)
            if (SameName(p, tagStart, ends[j], ends[k]))
                dup = ends[k];
        for (size_t m = k + 1; k >= kKept && m < ends.size() && dup == std::string::npos; ++m)
            if (SameName(p, tagStart, ends[k], ends[m]))
                dup = ends[m];
    }
    if (dup == std::string::npos)
        return dup;
    while (dup > tagStart && !EndsName(p[dup - 1]))
        --dup;
    return dup;
}

size_t NameCharAt(const char* p, size_t n, bool bStart)
{
    const auto c = static_cast<unsigned char>(p[0]);
    if (c < 0x80) {
        const bool bFirst =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
        return bFirst || (!bStart && ((c >= '0' && c <= '9') || c == '-' || c == '.')) ? 1 : 0;
    }
    size_t len = 0;
    const unsigned long v = ZkText::DecodeUtf8(reinterpret_cast<const unsigned char*>(p), n, len);
    // XML 1.0 (fifth edition), NameStartChar and NameChar beyond ASCII.
    const bool bFirst = (v >= 0xC0 && v <= 0xD6) || (v >= 0xD8 && v <= 0xF6) ||
                        (v >= 0xF8 && v <= 0x2FF) || (v >= 0x370 && v <= 0x37D) ||
                        (v >= 0x37F && v <= 0x1FFF) || v == 0x200C || v == 0x200D ||
                        (v >= 0x2070 && v <= 0x218F) || (v >= 0x2C00 && v <= 0x2FEF) ||
                        (v >= 0x3001 && v <= 0xD7FF) || (v >= 0xF900 && v <= 0xFDCF) ||
                        (v >= 0xFDF0 && v <= 0xFFFD) || (v >= 0x10000 && v <= 0xEFFFF);
    const bool bLater = v == 0xB7 || (v >= 0x300 && v <= 0x36F) || v == 0x203F || v == 0x2040;
    return bFirst || (!bStart && bLater) ? len : 0;
}

bool IsXmlInAnyCase(const char* p)
{
    return (p[0] == 'x' || p[0] == 'X') && (p[1] == 'm' || p[1] == 'M') &&
           (p[2] == 'l' || p[2] == 'L');
}

std::string NoNameReason(const char* p, size_t n, const char* what)
{
    if (n == 0 || NameCharAt(p, n, false) == 0)
        return what;
    // A character that may stand in a name, but not first.
    size_t len = 0;
    const unsigned long v = ZkText::DecodeUtf8(reinterpret_cast<const unsigned char*>(p), n, len);
    char code[24];
    std::snprintf(code, sizeof code, "U+%04lX", v);
    return std::string("a name that begins with ") + (v < 0x80 ? std::string(1, p[0]) : code) +
           ", which may follow a name's first character but not be it";
}

bool ReadReference(const char* p, size_t n, size_t i, Reference& r)
{
    size_t j = i + 2;
    const bool bHex = j < n && p[j] == 'x';
    if (bHex)
        ++j;
    r.nFirst = j;
    r.nValue = 0;
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
        r.nValue = r.nValue * (bHex ? 16 : 10) + d;
        if (r.nValue > 0x110000)
            r.nValue = 0x110000;
    }
    r.nEnd = j;
    return j != r.nFirst && j < n && p[j] == ';';
}

bool ForbiddenCharacter(unsigned long v)
{
    return v == 0 || (v < 0x20 && v != 0x9 && v != 0xA && v != 0xD) || ZkText::IsSurrogate(v) ||
           v == 0xFFFE || v == 0xFFFF || v > 0x10FFFF;
}

}  // namespace ZkXmlDecoder
