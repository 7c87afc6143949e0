#include "platform/internal/xml/XmlDecoder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZkCompiler.h"
#include "platform/internal/text/Unicode.h"

namespace ZkXmlDecoder {

namespace {

using ZkDiag::Capture;

bool Malformed(Capture* pCapture, const char* text, size_t size, size_t offset, const char* reason)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kMalformed, reason);
        pCapture->at = ZkLineCounter(text, size).At(offset);
    }
    return false;
}

bool Undecodable(Capture* pCapture, const std::string& name)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kUndecodableEncoding, "no decoder for the declared encoding");
        pCapture->strName = ZkDiag::WideFromUtf8(name);
    }
    return false;
}

void Replaced(Capture* pCapture, ZkLineCounter& lines, size_t offset, unsigned long ch)
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
bool FromUtf16(const ZkFileSystem::Bytes& raw, size_t begin, bool bBigEndian, DecodedText& text,
               Capture* pCapture)
{
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    ZkFileSystem::Bytes& out = text.bytes;
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
        out.insert(out.end(), buf, ZkText::EncodeUtf8(buf, c));
    }
    if (i != n)
        return Malformed(pCapture, out.data(), out.size(), out.size(),
                         "UTF-16 text ends in the middle of a character");
    ZkLineCounter lines(out.data(), out.size());
    for (const auto& r : replaced)
        Replaced(pCapture, lines, r.first, r.second);
    return true;
}

// UTF-32 to UTF-8. A unit that is no character at all (a surrogate, or
// beyond U+10FFFF) is malformed: unlike a lone UTF-16 surrogate, no older
// version ever wrote one.
bool FromUtf32(const ZkFileSystem::Bytes& raw, size_t begin, bool bBigEndian, DecodedText& text,
               Capture* pCapture)
{
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    ZkFileSystem::Bytes& out = text.bytes;
    out.clear();
    out.reserve((n - begin) / 2 + 1);
    size_t i = begin;
    for (; i + 3 < n; i += 4) {
        const unsigned long c = bBigEndian ? (static_cast<unsigned long>(s[i]) << 24) |
                                                 (s[i + 1] << 16) | (s[i + 2] << 8) | s[i + 3]
                                           : (static_cast<unsigned long>(s[i + 3]) << 24) |
                                                 (s[i + 2] << 16) | (s[i + 1] << 8) | s[i];
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return Malformed(pCapture, out.data(), out.size(), out.size(),
                             "a UTF-32 unit that is no Unicode character");
        char buf[4];
        out.insert(out.end(), buf, ZkText::EncodeUtf8(buf, c));
    }
    if (i != n)
        return Malformed(pCapture, out.data(), out.size(), out.size(),
                         "UTF-32 text ends in the middle of a character");
    return true;
}

// The encoding name of a declaration at the very start, where the name
// stands and where the declaration ends; false when there is none or it
// names no encoding.
bool DeclaredEncoding(const char* p, size_t n, std::string& name, size_t& nNameAt, size_t& nDeclEnd)
{
    if (n < 6 || std::memcmp(p, "<?xml", 5) != 0 || !IsXmlSpace(p[5]))
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
    while (at < decl.size() && IsXmlSpace(decl[at]))
        ++at;
    if (at >= decl.size() || decl[at] != '=')
        return false;
    ++at;
    while (at < decl.size() && IsXmlSpace(decl[at]))
        ++at;
    if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\''))
        return false;
    const size_t close = decl.find(decl[at], at + 1);
    if (close == std::string::npos)
        return false;
    name = decl.substr(at + 1, close - at - 1);
    nNameAt = at + 1;
    return true;
}

// Whether a declared encoding name names form (UTF-8, UTF-16LE, UTF-16BE,
// UTF-32LE or UTF-32BE), which the file's first bytes told.
bool NamesForm(const std::string& name, const char* form)
{
    if (SameEncodingName(name, form))
        return true;
    if (std::strcmp(form, "UTF-8") == 0)
        return SameEncodingName(name, "UTF8");
    const bool b16 = std::strncmp(form, "UTF-16", 6) == 0;
    for (const char* other : {"UTF-16", "UTF16", "UCS-2", "ISO-10646-UCS-2", "CSUNICODE"})
        if (b16 && SameEncodingName(name, other))
            return true;
    for (const char* other : {"UTF-32", "UTF32", "UCS-4", "ISO-10646-UCS-4", "CSUCS4"})
        if (!b16 && SameEncodingName(name, other))
            return true;
    return false;
}

// A file whose first bytes tell its encoding (a byte-order mark, or '<' in
// UTF-16 or UTF-32) and whose declaration names another: XML makes that an
// error. A byte-order mark is the word of the editor that last saved the file
// (Notepad's "Unicode" keeps a declaration of UTF-8), so the file is read by
// it, with a warning; the next Save writes a declaration that agrees. Told by
// the first character alone, the two disagree without a witness: refused.
bool DeclarationAgrees(const DecodedText& text, const char* form, bool bByteOrderMark,
                       Capture* pCapture)
{
    std::string name;
    size_t nNameAt = 0;
    size_t nDeclEnd = 0;
    if (!DeclaredEncoding(text.Data(), text.Size(), name, nNameAt, nDeclEnd) ||
        NamesForm(name, form))
        return true;
    if (bByteOrderMark) {
        if (pCapture != nullptr) {
            ZkDiag::Warning w;
            w.kind = ZkDiag::WarningKind::kEncodingByByteOrderMark;
            w.at = ZkLineCounter(text.Data(), text.Size()).At(nNameAt);
            w.strText = ZkDiag::WideFromUtf8(name);
            w.strProperty = ZkDiag::WideFromUtf8(form);
            pCapture->Add(std::move(w));
        }
        return true;
    }
    const std::string reason = "the declaration names the encoding \"" + name +
                               "\", but the file is " + form + " by its first character";
    return Malformed(pCapture, text.Data(), text.Size(), nNameAt, reason.c_str());
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

// The offset of the first of the bytes a, b and c in [p, p + n), or n.
inline size_t FindAny(const char* p, size_t n, char a, char b, char c)
{
    size_t i = 0;
#if ZKND_HAS_SSE2
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc)));
        if (mask != 0)
            return i +
                   static_cast<size_t>(ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < n; ++i)
        if (p[i] == a || p[i] == b || p[i] == c)
            break;
    return i;
}

// A three-byte UTF-8 character that XML allows: not an overlong form
// (E0 80-9F), a surrogate (ED A0-BF), U+FFFE or U+FFFF (EF BF BE-BF).
bool IsPlainThreeByte(const unsigned char* p)
{
    const unsigned c0 = p[0];
    const unsigned c1 = p[1];
    if ((c0 & 0xF0) != 0xE0 || (c1 & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
        return false;
    if (c0 == 0xE0)
        return c1 >= 0xA0;
    if (c0 == 0xED)
        return c1 < 0xA0;
    return c0 != 0xEF || c1 != 0xBF || p[2] < 0xBE;
}

#if ZKND_HAS_SSE2
// Set in each lane of v that holds a byte from 0x80 on or a control character
// other than TAB, LF and CR: a byte that plain ASCII text does not have.
inline __m128i NotPlainAscii(__m128i v)
{
    // Signed: bytes from 0x80 on are negative, so they count as below 0x20.
    const __m128i below = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
    const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    return _mm_andnot_si128(allowed, below);
}
#endif

// Where [s, s + n) first stops being valid UTF-8 of characters XML allows
// raw, and why; n when it never does.
size_t FirstInvalid(const unsigned char* s, size_t n, const char*& reason)
{
    const char* const kInvalid = "invalid UTF-8";
    const char* const kForbidden = "a character XML does not allow";
    size_t i = 0;
    while (i < n) {
#if ZKND_HAS_SSE2
        // Sixteen bytes at a time, as long as all are ASCII and none is a
        // control character other than TAB, LF and CR: such blocks need no
        // closer look. The first byte that does is where the block stops.
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const int mask = _mm_movemask_epi8(NotPlainAscii(v));
            if (mask != 0) {
                i += static_cast<size_t>(ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask)));
                break;
            }
        }
        if (i >= n)
            break;
#endif
        const unsigned c = s[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                reason = kForbidden;
                return i;
            }
            ++i;
            continue;
        }
        // Runs of three-byte characters (CJK) that need no closer look.
#if ZKND_HAS_SSE2
        for (size_t k = 5; k == 5 && i + 16 <= n; i += 3 * k)
            k = ZkText::PlainThreeByteRun(s + i);
#endif
        while (i + 3 <= n && IsPlainThreeByte(s + i))
            i += 3;
        if (i >= n || s[i] < 0x80)
            continue;
        const unsigned lead = s[i];
        unsigned long v = 0;
        size_t len = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            v = lead & 0x1F;
            len = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            v = lead & 0x0F;
            len = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            v = lead & 0x07;
            len = 4;
        }
        reason = kInvalid;
        if (len == 0 || i + len > n)
            return i;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return i;
            v = (v << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 3 && v < 0x800) || (len == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
            (v >= 0xD800 && v <= 0xDFFF))
            return i;
        if (v == 0xFFFE || v == 0xFFFF) {
            reason = kForbidden;
            return i;
        }
        i += len;
    }
    return n;
}

#if ZKND_HAS_SSE2
// Whether some byte of the 16 in b, with the 16 before them in prev, breaks
// UTF-8 or is a character XML forbids raw: every block gets the same checks,
// with no branch on what it holds. A byte must be a continuation (10xxxxxx)
// exactly when one of the three before it leads a sequence that reaches it;
// leads C0, C1 and F5-FF never occur; the second byte after E0, ED, F0 and F4
// is limited (overlong forms, surrogates, beyond U+10FFFF); EF BF BE and
// EF BF BF are U+FFFE and U+FFFF; a byte below 0x20 must be TAB, LF or CR.
bool BlockBreaksUtf8(__m128i b, __m128i prev)
{
    const __m128i p1 = _mm_or_si128(_mm_slli_si128(b, 1), _mm_srli_si128(prev, 15));
    const __m128i p2 = _mm_or_si128(_mm_slli_si128(b, 2), _mm_srli_si128(prev, 14));
    const __m128i p3 = _mm_or_si128(_mm_slli_si128(b, 3), _mm_srli_si128(prev, 13));
    // Unsigned x >= c, and x == c.
    auto atLeast = [](__m128i x, int c) {
        return _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(static_cast<char>(c))), x);
    };
    auto is = [](__m128i x, int c) {
        return _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(c)));
    };
    const __m128i cont = _mm_cmpeq_epi8(_mm_and_si128(b, _mm_set1_epi8(static_cast<char>(0xC0))),
                                        _mm_set1_epi8(static_cast<char>(0x80)));
    const __m128i needed =
        _mm_or_si128(atLeast(p1, 0xC0), _mm_or_si128(atLeast(p2, 0xE0), atLeast(p3, 0xF0)));
    __m128i bad = _mm_xor_si128(cont, needed);
    bad = _mm_or_si128(bad, _mm_or_si128(atLeast(b, 0xF5), _mm_or_si128(is(b, 0xC0), is(b, 0xC1))));
    const __m128i high = atLeast(b, 0xA0);  // in a second byte: A0-BF
    const __m128i from90 = atLeast(b, 0x90);
    bad = _mm_or_si128(bad, _mm_andnot_si128(high, is(p1, 0xE0)));
    bad = _mm_or_si128(bad, _mm_and_si128(high, is(p1, 0xED)));
    bad = _mm_or_si128(bad, _mm_andnot_si128(from90, is(p1, 0xF0)));
    bad = _mm_or_si128(bad, _mm_and_si128(from90, is(p1, 0xF4)));
    bad = _mm_or_si128(bad,
                       _mm_and_si128(_mm_and_si128(is(p2, 0xEF), is(p1, 0xBF)), atLeast(b, 0xBE)));
    bad = _mm_or_si128(bad, _mm_andnot_si128(atLeast(b, 0x80), NotPlainAscii(b)));
    return _mm_movemask_epi8(bad) != 0;
}

// Whether one of the 16 ASCII bytes in b is a control character other than
// TAB, LF and CR.
bool BlockHasControl(__m128i b)
{
    return _mm_movemask_epi8(NotPlainAscii(b)) != 0;
}

// The start of a character at most three bytes before the block at i, which
// showed a fault: a sequence that starts earlier ends before the block, and
// the blocks before found nothing wrong with it.
size_t BoundaryBefore(const unsigned char* s, size_t i)
{
    i = i > 3 ? i - 3 : 0;
    while (i > 0 && (s[i] & 0xC0) == 0x80)
        --i;
    return i;
}

// Where the checked decoder must start to find what breaks [s, s + n): the
// start of a character before the block that first shows a fault, or of the
// 64 ASCII bytes that hold a control character. n when nothing does. The end
// is checked as if spaces followed.
size_t FirstSuspectBlock(const unsigned char* s, size_t n)
{
    __m128i prev = _mm_setzero_si128();
    size_t i = 0;
    while (i + 16 <= n) {
        // 64 bytes of ASCII after a block that leaves no sequence open need
        // only the look for control characters.
        if (i + 64 <= n && (_mm_movemask_epi8(prev) & 0xE000) == 0) {
            const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
            const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
            const __m128i b3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
            if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(b0, b1), _mm_or_si128(b2, b3))) == 0) {
                if (BlockHasControl(b0) || BlockHasControl(b1) || BlockHasControl(b2) ||
                    BlockHasControl(b3))
                    return i;
                prev = b3;
                i += 64;
                continue;
            }
        }
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // Likewise 16 bytes of ASCII: the markup between values mostly.
        if (_mm_movemask_epi8(b) == 0 && (_mm_movemask_epi8(prev) & 0xE000) == 0) {
            if (BlockHasControl(b))
                return i;
            prev = b;
            i += 16;
            continue;
        }
        if (BlockBreaksUtf8(b, prev))
            return BoundaryBefore(s, i);
        prev = b;
        i += 16;
    }
    unsigned char tail[16];
    std::memset(tail, ' ', sizeof tail);
    std::memcpy(tail, s + i, n - i);
    if (!BlockBreaksUtf8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tail)), prev))
        return n;
    return BoundaryBefore(s, i);
}
#endif

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

// How many bytes the character at p takes when it may stand in a name (as
// the first character when bStart), else 0. The text at p is valid UTF-8.
size_t NameCharAt(const char* p, bool bStart)
{
    const auto c = static_cast<unsigned char>(p[0]);
    if (c < 0x80) {
        const bool bFirst =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
        return bFirst || (!bStart && ((c >= '0' && c <= '9') || c == '-' || c == '.')) ? 1 : 0;
    }
    if (c < 0xC2)
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    unsigned long v = 0;
    size_t len = 0;
    if (c < 0xE0) {
        v = ((c & 0x1Fu) << 6) | (s[1] & 0x3Fu);
        len = 2;
    } else if (c < 0xF0) {
        v = ((c & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
        len = 3;
    } else {
        v = ((c & 0x07ul) << 18) | ((s[1] & 0x3Ful) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
        len = 4;
    }
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

// Whether the three letters at p are "xml" in any letter case.
bool IsXmlInAnyCase(const char* p)
{
    return (p[0] == 'x' || p[0] == 'X') && (p[1] == 'm' || p[1] == 'M') &&
           (p[2] == 'l' || p[2] == 'L');
}

// XML 1.0's grammar of a document over [0, nInvalid) of the text, and its
// well-formedness constraints but the legal characters (FirstInvalid's):
// what is refused fails with where and why. What the parse needs to know is
// noted on the way, and the first duplicated attribute. A reference to a
// character XML forbids is rewritten to &#1; and reported; a '&' that begins
// no reference is reported and left to read as itself.
class Checker {
public:
    Checker(DecodedText& text, Capture* pCapture)
        : m_text(text),
          m_p(text.Data()),
          m_n(text.nInvalid),
          m_pCapture(pCapture),
          m_lines(m_p, text.Size())
    {
        m_text.nDuplicateAttribute = std::string::npos;
        m_text.bAttributesChecked = true;
    }

    bool Run()
    {
        size_t i = 0;
        if (StartsDeclaration(m_p, m_n)) {
            size_t nError = 0;
            const char* pszReason = nullptr;
            i = DeclarationEnd(m_p, m_n, nError, pszReason);
            if (i == 0)
                return Fail(nError, pszReason);
        }
        // White space, comments, PIs and one DOCTYPE, then the root.
        for (;;) {
            i = Space(i);
            if (At(i) != '<')
                return Fail(i, i >= m_n ? "no root element" : "text before the root element");
            if (At(i + 1) == '?' || Starts(i, "<!--")) {
                if (!(At(i + 1) == '?' ? Pi(i, true) : Comment(i, true)))
                    return false;
            } else if (Starts(i, "<!DOCTYPE")) {
                if (m_bDoctype)
                    return Fail(i, "a second DOCTYPE");
                if (!Doctype(i))
                    return false;
            } else if (At(i + 1) == '!') {
                return Fail(i, "a declaration or CDATA section where the root element belongs");
            } else if (At(i + 1) == '/') {
                return Fail(i, "an end tag before the root element's start tag");
            } else {
                break;
            }
        }
        if (!Element(i))
            return false;
        // After the root: white space, comments and PIs.
        for (;;) {
            i = Space(i);
            if (i >= m_n)
                break;
            if (Starts(i, "<!--") || (At(i + 1) == '?' && At(i) == '<')) {
                if (!(At(i + 1) == '?' ? Pi(i, true) : Comment(i, true)))
                    return false;
                continue;
            }
            if (At(i) == '<' && NameEnd(i + 1) > i + 1)
                return Fail(i + 1, "more than one root element");
            return Fail(i, At(i) == '&'             ? "a reference after the root element"
                           : Starts(i, "<![CDATA[") ? "a CDATA section after the root element"
                           : At(i) == '<'           ? "markup after the root element"
                                                    : "text after the root element");
        }
        return i == m_text.Size() || Fail(i, nullptr);
    }

private:
    struct Name {
        size_t nAt;
        size_t nSize;
    };

    // Any byte up to the first invalid one, then NUL.
    char At(size_t i) const { return i < m_n ? m_p[i] : '\0'; }

    template <size_t N>
    bool Starts(size_t i, const char (&s)[N]) const
    {
        return i <= m_n && m_n - i >= N - 1 && std::memcmp(m_p + i, s, N - 1) == 0;
    }

    size_t Space(size_t i) const
    {
        while (IsXmlSpace(At(i)))
            ++i;
        return i;
    }

    // Where the name that starts at i ends; i when none starts there.
    size_t NameEnd(size_t i) const
    {
        size_t len = i < m_n ? NameCharAt(m_p + i, true) : 0;
        if (len == 0)
            return i;
        for (i += len; i < m_n && (len = NameCharAt(m_p + i, false)) != 0;)
            i += len;
        return i;
    }

    // Why no name starts at i, where one must.
    std::string NoName(size_t i, const char* what) const
    {
        if (i >= m_n || NameCharAt(m_p + i, false) == 0)
            return what;
        // A character that may stand in a name, but not first.
        const auto* s = reinterpret_cast<const unsigned char*>(m_p + i);
        unsigned long v = s[0];
        if (v >= 0xC0)
            v = v < 0xE0 ? ((v & 0x1F) << 6) | (s[1] & 0x3F)
                         : ((v & 0x0F) << 12) | ((s[1] & 0x3Ful) << 6) | (s[2] & 0x3F);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04lX", v);
        return std::string("a name that begins with ") +
               (v < 0x80 ? std::string(1, m_p[i]) : code) +
               ", which may follow a name's first character but not be it";
    }

    std::string NameText(const Name& name) const { return std::string(m_p + name.nAt, name.nSize); }

    // The file breaks XML's rules at offset; where the text ran out before
    // its first invalid byte, that byte is why.
    bool Fail(size_t offset, const char* reason)
    {
        if (offset >= m_n && m_n < m_text.Size())
            return Malformed(m_pCapture, m_p, m_text.Size(), m_n, m_text.pszInvalid);
        return Malformed(m_pCapture, m_p, m_text.Size(), offset,
                         reason != nullptr ? reason : "the file ends too early");
    }

    bool Fail(size_t offset, const std::string& reason) { return Fail(offset, reason.c_str()); }

    // Just past the first close (nClose bytes, the first of them c) from
    // from on; npos when the text ends first.
    size_t EndOf(size_t from, char c, const char* close, size_t nClose) const
    {
        for (size_t j = from; j < m_n; ++j) {
            j += FindAny(m_p + j, m_n - j, c, c, c);
            if (j + nClose <= m_n && std::memcmp(m_p + j, close, nClose) == 0)
                return j + nClose;
        }
        return std::string::npos;
    }

    // "<!--" at i; '--' must not stand within.
    bool Comment(size_t& i, bool bNote)
    {
        for (size_t j = i + 4;; ++j) {
            j += FindAny(m_p + j, m_n - j, '-', '-', '-');
            if (j >= m_n)
                return Fail(j, "the file ends inside a comment");
            if (At(j + 1) == '-') {
                if (At(j + 2) != '>')
                    return Fail(j, "\"--\" inside a comment");
                Note(i, bNote);
                i = j + 3;
                return true;
            }
        }
    }

    // "<?" at i: a target, not "xml" in any letter case, then what ends
    // with "?>".
    bool Pi(size_t& i, bool bNote)
    {
        const size_t e = NameEnd(i + 2);
        if (e == i + 2)
            return Fail(i + 2, i + 2 >= m_n ? "the file ends inside a processing instruction"
                                            : "a processing instruction without a target name");
        if (e - i - 2 == 3 && IsXmlInAnyCase(m_p + i + 2))
            return Fail(i, std::memcmp(m_p + i + 2, "xml", 3) == 0 && IsXmlSpace(At(e))
                               ? "an XML declaration that is not at the start of the file"
                               : "a processing instruction named \"xml\", which XML reserves");
        if (!IsXmlSpace(At(e)) && !(At(e) == '?' && At(e + 1) == '>'))
            return Fail(e, e >= m_n ? "the file ends inside a processing instruction"
                                    : "white space or \"?>\" expected after the processing "
                                      "instruction's target");
        const size_t end = EndOf(e, '?', "?>", 2);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a processing instruction");
        Note(i, bNote);
        i = end;
        return true;
    }

    // "<![CDATA[" at i.
    bool CData(size_t& i)
    {
        const size_t end = EndOf(i + 9, ']', "]]>", 3);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a CDATA section");
        Note(i, true);
        i = end;
        return true;
    }

    // Comments, CDATA sections and PIs after the declaration: white space
    // between them is part of a value.
    void Note(size_t i, bool bNote)
    {
        m_text.bMarkupInText = m_text.bMarkupInText || (bNote && i > 0);
    }

    // A quoted literal at i, skipped.
    bool Literal(size_t& i)
    {
        const char quote = At(i);
        if (quote != '"' && quote != '\'')
            return Fail(i, "a quoted literal expected in the DOCTYPE");
        const size_t end = EndOf(i + 1, quote, &quote, 1);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a quoted literal");
        i = end;
        return true;
    }

    // "<!DOCTYPE" at i: its name, external identifier and internal subset
    // are skipped as XML delimits them; nothing is declared or fetched.
    bool Doctype(size_t& i)
    {
        m_bDoctype = true;
        m_text.bAttributesChecked = false;
        size_t j = i + 9;
        if (!IsXmlSpace(At(j)))
            return Fail(j, "white space expected after \"<!DOCTYPE\"");
        j = Space(j);
        const size_t e = NameEnd(j);
        if (e == j)
            return Fail(j, "a name expected in the DOCTYPE");
        j = Space(e);
        const bool bSystem = Starts(j, "SYSTEM");
        if (bSystem || Starts(j, "PUBLIC")) {
            j += 6;
            for (int k = bSystem ? 1 : 2; k > 0; --k) {
                const size_t s = j;
                j = Space(j);
                if (j == s)
                    return Fail(j, "white space expected in the DOCTYPE's external identifier");
                if (!Literal(j))
                    return false;
            }
            j = Space(j);
        }
        if (At(j) == '[') {
            for (j = Space(j + 1); At(j) != ']'; j = Space(j)) {
                if (Starts(j, "<!--")) {
                    if (!Comment(j, false))
                        return false;
                } else if (Starts(j, "<?")) {
                    if (!Pi(j, false))
                        return false;
                } else if (At(j) == '%') {
                    const size_t pe = NameEnd(j + 1);
                    if (pe == j + 1 || At(pe) != ';')
                        return Fail(j, "a parameter-entity reference is \"%name;\"");
                    j = pe + 1;
                } else if (Starts(j, "<!")) {
                    // A markup declaration: to its '>', quoted literals and all.
                    for (j += 2; At(j) != '>';) {
                        if (At(j) == '"' || At(j) == '\'') {
                            if (!Literal(j))
                                return false;
                        } else if (j >= m_n) {
                            return Fail(j, "the file ends inside the DOCTYPE");
                        } else {
                            ++j;
                        }
                    }
                    ++j;
                } else {
                    return Fail(j, j >= m_n ? "the file ends inside the DOCTYPE"
                                            : "not a declaration in the DOCTYPE's internal subset");
                }
            }
            j = Space(j + 1);
        }
        if (At(j) != '>')
            return Fail(j, "'>' expected to end the DOCTYPE");
        i = j + 1;
        return true;
    }

    // A '&' at i, in an attribute value (bAttribute) or in text: a
    // reference, or a '&' that stands for itself.
    bool Reference(size_t& i, bool bAttribute)
    {
        if (At(i + 1) == '#') {
            ZkXmlDecoder::Reference r;
            if (!ReadReference(m_p, m_n, i, r))
                return Fail(i,
                            "a character reference is \"&#\" and decimal digits or \"&#x\" "
                            "and hexadecimal digits, then \";\"");
            if (ForbiddenCharacter(r.nValue)) {
                // Rewritten to stand for U+0001, which values read as U+FFFD.
                Replaced(m_pCapture, m_lines, i, r.nValue);
                for (size_t k = r.nFirst; k < r.nEnd; ++k)
                    m_p[k] = k + 1 == r.nEnd ? '1' : '0';
            }
            i = r.nEnd + 1;
            return true;
        }
        const size_t e = NameEnd(i + 1);
        if (e > i + 1 && At(e) == ';') {
            static const char* const kPredefined[] = {"amp", "lt", "gt", "quot", "apos"};
            for (const char* name : kPredefined)
                if (e - i - 1 == std::strlen(name) &&
                    std::memcmp(m_p + i + 1, name, e - i - 1) == 0) {
                    i = e + 1;
                    return true;
                }
            const std::string ref(m_p + i, e + 1 - i);
            return Fail(i, m_bDoctype ? "a reference to the entity " + ref +
                                            ", which this reader does not expand"
                                      : "a reference to the undeclared entity " + ref +
                                            " (without a DOCTYPE only &amp; &lt; &gt; &quot; "
                                            "&apos; exist)");
        }
        if (m_pCapture != nullptr) {
            ZkDiag::Warning w;
            w.kind = ZkDiag::WarningKind::kAmpersandAsText;
            w.at = m_lines.At(i);
            w.strText = ZkDiag::WideFromUtf8(std::string(m_p + i, e - i));
            const Name property = bAttribute       ? m_attribute
                                  : m_open.empty() ? Name{0, 0}
                                                   : m_open.back();
            const Name section = bAttribute          ? m_open.back()
                                 : m_open.size() > 1 ? m_open[m_open.size() - 2]
                                                     : Name{0, 0};
            w.strSection = ZkDiag::WideFromUtf8(NameText(section));
            w.strProperty = ZkDiag::WideFromUtf8(NameText(property));
            m_pCapture->Add(std::move(w));
        }
        i = e;
        return true;
    }

    // A start tag at i (a '<' and a name); bEmpty when it ends with "/>".
    // Its name is pushed on m_open while its attributes are read.
    bool StartTag(size_t& i, bool& bEmpty)
    {
        const size_t e = NameEnd(i + 1);
        if (e == i + 1)
            return Fail(i + 1, NoName(i + 1,
                                      "a '<' that begins no tag (the character is "
                                      "written \"&lt;\")"));
        m_open.push_back(Name{i + 1, e - i - 1});
        m_names.clear();
        for (size_t j = e;;) {
            const size_t k = Space(j);
            const char c = At(k);
            if (c == '>' || (c == '/' && At(k + 1) == '>')) {
                bEmpty = c == '/';
                i = k + (bEmpty ? 2 : 1);
                break;
            }
            if (c == '/')
                return Fail(k + 1, "'>' expected after '/'");
            const size_t ne = NameEnd(k);
            if (ne == k)
                return Fail(k, k >= m_n ? "the file ends inside a tag"
                                        : NoName(k,
                                                 "an attribute, '>' or \"/>\" expected in the "
                                                 "tag"));
            if (k == j)
                return Fail(k, "white space expected before the attribute");
            size_t q = Space(ne);
            if (At(q) != '=')
                return Fail(q, "'=' expected after the attribute's name");
            q = Space(q + 1);
            const char quote = At(q);
            if (quote != '"' && quote != '\'')
                return Fail(q, "the attribute's value expected, in quotes");
            m_attribute = Name{k, ne - k};
            m_names.push_back(ne);
            for (j = q + 1;;) {
                j += FindAny(m_p + j, m_n - j, quote, '<', '&');
                if (j >= m_n)
                    return Fail(j, "the file ends inside an attribute value");
                if (m_p[j] == quote)
                    break;
                if (m_p[j] == '<')
                    return Fail(j, "'<' in an attribute value");
                if (!Reference(j, true))
                    return false;
            }
            ++j;
        }
        if (m_names.size() > 1 && m_text.nDuplicateAttribute == std::string::npos)
            m_text.nDuplicateAttribute = DuplicateAttribute(m_p, m_open.back().nAt, m_names);
        if (bEmpty)
            m_open.pop_back();
        return true;
    }

    // The element whose start tag is at i, and all within it; i ends past
    // its end.
    bool Element(size_t& i)
    {
        m_open.clear();
        for (;;) {
            bool bEmpty = false;
            if (!StartTag(i, bEmpty))
                return false;
            if (m_open.empty())
                return true;
            size_t nStartTagEnd = bEmpty ? 0 : i;
            // Content up to the next start tag.
            for (;;) {
                // DecodedText, "]]>" excluded.
                for (;; ++i) {
                    i += FindAny(m_p + i, m_n - i, '<', '&', ']');
                    if (At(i) != ']')
                        break;
                    if (At(i + 1) == ']' && At(i + 2) == '>')
                        return Fail(i, "\"]]>\" in text (written \"]]&gt;\" there)");
                }
                if (At(i) == '&') {
                    if (!Reference(i, false))
                        return false;
                    continue;
                }
                if (At(i) != '<')
                    return Fail(
                        i, "the file ends before the end tag of <" + NameText(m_open.back()) + ">");
                const size_t since = nStartTagEnd;
                nStartTagEnd = 0;
                if (At(i + 1) == '/') {
                    if (since != 0 && since < i) {
                        size_t k = since;
                        while (k < i && IsXmlSpace(m_p[k]))
                            ++k;
                        m_text.bWhiteSpaceValues = m_text.bWhiteSpaceValues || k == i;
                    }
                    if (!EndTag(i))
                        return false;
                    if (m_open.empty())
                        return true;
                } else if (Starts(i, "<!--")) {
                    if (!Comment(i, true))
                        return false;
                } else if (Starts(i, "<![CDATA[")) {
                    if (!CData(i))
                        return false;
                } else if (At(i + 1) == '?') {
                    if (!Pi(i, true))
                        return false;
                } else if (At(i + 1) == '!') {
                    return Fail(i, "a declaration inside an element");
                } else {
                    break;
                }
            }
        }
    }

    // "</" at i, which must close the innermost open element.
    bool EndTag(size_t& i)
    {
        const Name& open = m_open.back();
        const size_t e = NameEnd(i + 2);
        if (e - i - 2 != open.nSize || std::memcmp(m_p + i + 2, m_p + open.nAt, open.nSize) != 0)
            return Fail(i, e >= m_n ? "the file ends inside an end tag"
                                    : "the end tag </" + std::string(m_p + i + 2, e - i - 2) +
                                          "> does not close <" + NameText(open) + ">");
        const size_t j = Space(e);
        if (At(j) != '>')
            return Fail(j, "'>' expected to end the end tag");
        m_open.pop_back();
        i = j + 1;
        return true;
    }

    DecodedText& m_text;
    char* const m_p;
    const size_t m_n;
    Capture* const m_pCapture;
    ZkLineCounter m_lines;
    bool m_bDoctype = false;
    std::vector<Name> m_open;     // the open elements' names, the innermost last
    Name m_attribute{0, 0};       // the name of the attribute being read
    std::vector<size_t> m_names;  // where the names of the tag's attributes end
};

// Where the text first stops being valid UTF-8 of characters XML allows raw,
// and why.
void FindInvalid(DecodedText& text)
{
    const char* reason = nullptr;
    const auto* s = reinterpret_cast<const unsigned char*>(text.Data());
    size_t from = 0;
#if ZKND_HAS_SSE2
    from = FirstSuspectBlock(s, text.Size());
#endif
    text.nInvalid = from + FirstInvalid(s + from, text.Size() - from, reason);
    text.pszInvalid = reason;
}

}  // namespace

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
    return v == 0 || (v < 0x20 && v != 0x9 && v != 0xA && v != 0xD) ||
           (v >= 0xD800 && v <= 0xDFFF) || v == 0xFFFE || v == 0xFFFF || v > 0x10FFFF;
}

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

bool Decode(ZkFileSystem::Bytes&& raw, DecodedText& text, Capture* pCapture)
{
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    text.nBegin = 0;
    text.bMarkupInText = false;
    text.bWhiteSpaceValues = false;
    // The Unicode encoding the first bytes tell, if they tell one. FF FE 00
    // 00 is UTF-32 and not UTF-16 with a NUL, which XML does not allow.
    const char* pszForm = nullptr;
    bool bByteOrderMark = true;
    auto zero = [&](size_t i) { return b[i] == 0; };
    if (n >= 4 && zero(0) && zero(1) &&
        ((b[2] == 0xFE && b[3] == 0xFF) || (zero(2) && b[3] == '<'))) {
        pszForm = "UTF-32BE";
        bByteOrderMark = b[3] == 0xFF;
        if (!FromUtf32(raw, bByteOrderMark ? 4 : 0, true, text, pCapture))
            return false;
    } else if (n >= 4 && zero(2) && zero(3) &&
               ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == '<' && zero(1)))) {
        pszForm = "UTF-32LE";
        bByteOrderMark = b[0] == 0xFF;
        if (!FromUtf32(raw, bByteOrderMark ? 4 : 0, false, text, pCapture))
            return false;
    } else if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        pszForm = b[0] == 0xFE ? "UTF-16BE" : "UTF-16LE";
        if (!FromUtf16(raw, 2, b[0] == 0xFE, text, pCapture))
            return false;
    } else if (n >= 2 && ((b[0] == '<' && b[1] == 0) || (b[0] == 0 && b[1] == '<'))) {
        pszForm = b[0] == 0 ? "UTF-16BE" : "UTF-16LE";
        bByteOrderMark = false;
        if (!FromUtf16(raw, 0, b[0] == 0, text, pCapture))
            return false;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        pszForm = "UTF-8";
        text.bytes = std::move(raw);
        text.nBegin = 3;
    } else {
        std::string name;
        size_t nNameAt = 0;
        size_t nDeclEnd = 0;
        if (!DeclaredEncoding(raw.data(), n, name, nNameAt, nDeclEnd) ||
            SameEncodingName(name, "UTF-8") || SameEncodingName(name, "UTF8")) {
            text.bytes = std::move(raw);
        } else {
            if (!IsEncName(name) || IsUnicodeOtherThanUtf8(name))
                return Undecodable(pCapture, name);
            ZkFileSystem::Bytes out;
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
            if (out.size() < nDeclEnd || std::memcmp(out.data(), raw.data(), nDeclEnd) != 0)
                return Undecodable(pCapture, name);
            text.bytes = std::move(out);
        }
    }
    text.bytes.push_back('\0');
    if (pszForm != nullptr && !DeclarationAgrees(text, pszForm, bByteOrderMark, pCapture))
        return false;
    FindInvalid(text);
    return true;
}

bool CheckWellFormed(DecodedText& text, Capture* pCapture)
{
    return Checker(text, pCapture).Run();
}

bool StartsDeclaration(const char* p, size_t n)
{
    return n >= 6 && std::memcmp(p, "<?xml", 5) == 0 && IsXmlSpace(p[5]);
}

size_t DeclarationEnd(const char* p, size_t n, size_t& nError, const char*& pszReason)
{
    size_t i = 5;
    auto fail = [&](size_t at, const char* reason) -> size_t {
        nError = at;
        pszReason = reason;
        return 0;
    };
    auto space = [&]() {
        const size_t from = i;
        while (i < n && IsXmlSpace(p[i]))
            ++i;
        return i > from;
    };
    auto word = [&](const char* w) {
        const size_t len = std::strlen(w);
        return n - i >= len && std::memcmp(p + i, w, len) == 0;
    };
    // name="value" at i, where name is known to stand; the value's bounds.
    size_t nValue = 0;
    size_t nValueEnd = 0;
    auto pair = [&](size_t nName) -> const char* {
        i += nName;
        space();
        if (i >= n || p[i] != '=')
            return "'=' expected in the XML declaration";
        ++i;
        space();
        if (i >= n || (p[i] != '"' && p[i] != '\''))
            return "a value in quotes expected in the XML declaration";
        const char quote = p[i];
        nValue = ++i;
        while (i < n && p[i] != quote && p[i] != '?' && p[i] != '>' && p[i] != '"' && p[i] != '\'')
            ++i;
        if (i >= n || p[i] != quote)
            return "a value in the XML declaration not closed by the quote that opens it";
        nValueEnd = i++;
        return nullptr;
    };
    auto is = [&](const char* value) {
        return nValueEnd - nValue == std::strlen(value) &&
               std::memcmp(p + nValue, value, nValueEnd - nValue) == 0;
    };
    bool bSpace = space();
    if (!word("version"))
        return fail(i, "the XML declaration begins with version");
    if (const char* reason = pair(7))
        return fail(i, reason);
    bool bVersion = nValueEnd - nValue >= 3 && p[nValue] == '1' && p[nValue + 1] == '.';
    for (size_t k = nValue + 2; bVersion && k < nValueEnd; ++k)
        bVersion = p[k] >= '0' && p[k] <= '9';
    if (!bVersion)
        return fail(nValue, "the XML declaration's version is not 1.0 (\"1.\" and digits)");
    bSpace = space();
    if (bSpace && word("encoding")) {
        if (const char* reason = pair(8))
            return fail(i, reason);
        if (!IsEncName(std::string(p + nValue, nValueEnd - nValue)))
            return fail(nValue, "not an encoding name in the XML declaration");
        bSpace = space();
    }
    if (bSpace && word("standalone")) {
        if (const char* reason = pair(10))
            return fail(i, reason);
        if (!is("yes") && !is("no"))
            return fail(nValue, "standalone is \"yes\" or \"no\" in the XML declaration");
        space();
    }
    if (n - i >= 2 && p[i] == '?' && p[i + 1] == '>')
        return i + 2;
    if (word("version") || word("encoding") || word("standalone"))
        return fail(i, bSpace ? "the XML declaration holds version, encoding and standalone in "
                                "this order, each once"
                              : "white space expected in the XML declaration");
    return fail(i,
                "\"?>\" expected to end the XML declaration, which holds only version, "
                "encoding and standalone");
}

}  // namespace ZkXmlDecoder
