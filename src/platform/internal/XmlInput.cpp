#include "platform/internal/XmlInput.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/internal/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ZkXmlInput {

namespace {

using ZkDiag::Capture;

bool Malformed(Capture* pCapture, const char* text, size_t size, size_t offset, const char* reason)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kMalformed, reason);
        pCapture->at = ZkDiag::LineCounter(text, size).At(offset);
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
bool FromUtf16(const ZkFileSystem::Bytes& raw, size_t begin, bool bBigEndian, Text& text,
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
    ZkDiag::LineCounter lines(out.data(), out.size());
    for (const auto& r : replaced)
        Replaced(pCapture, lines, r.first, r.second);
    return true;
}

// The encoding name of a declaration at the very start, and where the
// declaration ends; false when there is none or it names no encoding.
bool DeclaredEncoding(const char* p, size_t n, std::string& name, size_t& nDeclEnd)
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
    Reference r;
    if (!ReadReference(p, n, i, r) || !ForbiddenCharacter(r.nValue))
        return;
    Replaced(pCapture, lines, i, r.nValue);
    for (size_t k = r.nFirst; k < r.nEnd; ++k)
        p[k] = k + 1 == r.nEnd ? '1' : '0';
}

// The offset of the first of the bytes a, b and c in [p, p + n), or n.
inline size_t FindAny(const char* p, size_t n, char a, char b, char c)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc)));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
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

#if defined(__SSE2__)
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
#if defined(__SSE2__)
        // Sixteen bytes at a time, as long as all are ASCII and none is a
        // control character other than TAB, LF and CR: such blocks need no
        // closer look. The first byte that does is where the block stops.
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const int mask = _mm_movemask_epi8(NotPlainAscii(v));
            if (mask != 0) {
                i += static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
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
#if defined(__SSE2__)
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

#if defined(__SSE2__)
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

// Where the name of the attribute whose value opens with the quote at q
// ends: before "=" and any white space around it.
size_t AttributeNameEnd(const char* p, size_t tagStart, size_t q)
{
    size_t e = q;
    while (e > tagStart && IsXmlSpace(p[e - 1]))
        --e;
    if (e > tagStart && p[e - 1] == '=')
        --e;
    while (e > tagStart && IsXmlSpace(p[e - 1]))
        --e;
    return e;
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

// Bit k set when byte k of the 64 at p is '<', '>', '&' or a quote: all that
// can matter in text, in tags and in attribute values.
uint64_t MarkupBytes(const char* p)
{
    uint64_t mask = 0;
#if defined(__SSE2__)
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')))));
        mask |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
    }
#else
    for (int k = 0; k < 64; ++k) {
        const char c = p[k];
        if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'')
            mask |= uint64_t{1} << k;
    }
#endif
    return mask;
}

// Follows tags, attribute values, comments, CDATA sections, processing
// instructions and declarations over [0, limit) of the text: a '<' in an
// attribute value fails; references outside comments, CDATA and PIs are
// checked; what the parse needs to know is noted, and the first duplicated
// attribute.
class MarkupScan {
public:
    MarkupScan(Text& text, Capture* pCapture)
        : m_text(text), m_p(text.Data()), m_n(text.Size()), m_pCapture(pCapture), m_lines(m_p, m_n)
    {
        m_text.nDuplicateAttribute = std::string::npos;
        m_text.bAttributesChecked = true;
    }

    bool Run(size_t limit)
    {
        size_t i = 0;
        while (i < limit) {
            if (m_state == State::kRaw || m_state == State::kDeclaration) {
                i = SkipStep(i, limit);
                continue;
            }
            // Text, tags and values, 64 bytes at a time: the bytes that can
            // matter in any of them are visited in order, each state ignoring
            // those it does not look for. Until a comment, CDATA section, PI
            // or declaration opens, the rest of the 64 are still to come.
            const size_t nChunk = limit - i < 64 ? limit - i : 64;
            uint64_t mask = 0;
            if (nChunk == 64) {
                mask = MarkupBytes(m_p + i);
            } else {
                char tail[64] = {};
                std::memcpy(tail, m_p + i, nChunk);
                mask = MarkupBytes(tail);
            }
            size_t next = i + nChunk;
            while (mask != 0) {
                const size_t j = i + static_cast<size_t>(__builtin_ctzll(mask));
                mask &= mask - 1;
                if (!Visit(j))
                    return false;
                if (m_state == State::kRaw || m_state == State::kDeclaration) {
                    next = j + 1;
                    break;
                }
            }
            i = next;
        }
        return true;
    }

private:
    enum class State { kText, kTag, kQuote, kRaw, kDeclaration };

    // A '<', '>', '&' or quote at i, in text, a tag or a value.
    bool Visit(size_t i)
    {
        const char c = m_p[i];
        switch (m_state) {
        case State::kText:
            if (c == '&')
                CheckReferenceAt(i);
            else if (c == '<' && i + 1 < m_n)
                OpenMarkup(i);
            break;
        case State::kTag:
            if (c == '>') {
                m_state = State::kText;
                m_startTagEnd = !m_bInEndTag && m_p[i - 1] != '/' ? i + 1 : 0;
                if (!m_bInEndTag && m_names.size() > 1 &&
                    m_text.nDuplicateAttribute == std::string::npos)
                    m_text.nDuplicateAttribute = DuplicateAttribute(m_p, m_tagStart, m_names);
            } else if (c == '"' || c == '\'') {
                m_state = State::kQuote;
                m_quote = c;
                if (!m_bInEndTag)
                    m_names.push_back(AttributeNameEnd(m_p, m_tagStart, i));
            }
            break;
        case State::kQuote:
            if (c == m_quote)
                m_state = State::kTag;
            else if (c == '<')
                return Malformed(m_pCapture, m_p, m_n, i, "'<' in an attribute value");
            else if (c == '&')
                CheckReferenceAt(i);
            break;
        default:
            break;
        }
        return true;
    }

    void CheckReferenceAt(size_t i)
    {
        if (i + 1 < m_n && m_p[i + 1] == '#')
            CheckReference(m_p, m_n, i, m_pCapture, m_lines);
    }

    // A '<' in text at i, with a byte after it.
    void OpenMarkup(size_t i)
    {
        m_bInEndTag = m_p[i + 1] == '/';
        if (m_bInEndTag && m_startTagEnd != 0 && m_startTagEnd < i) {
            size_t k = m_startTagEnd;
            while (k < i && IsXmlSpace(m_p[k]))
                ++k;
            m_text.bWhiteSpaceValues = m_text.bWhiteSpaceValues || k == i;
        }
        m_startTagEnd = 0;
        m_close = nullptr;
        if (m_n - i >= 4 && std::memcmp(m_p + i, "<!--", 4) == 0)
            m_close = "-->", m_nCloseLen = 3, m_rawStart = i + 4;
        else if (m_n - i >= 9 && std::memcmp(m_p + i, "<![CDATA[", 9) == 0)
            m_close = "]]>", m_nCloseLen = 3, m_rawStart = i + 9;
        else if (m_p[i + 1] == '?')
            m_close = "?>", m_nCloseLen = 2, m_rawStart = i + 2;
        if (m_close != nullptr) {
            m_state = State::kRaw;
            m_text.bMarkupInText = m_text.bMarkupInText || i > 0;
        } else if (m_p[i + 1] == '!') {
            m_state = State::kDeclaration;
            m_nDeclDepth = 1;
            // Declarations are skipped here but parsed apart: the walk over
            // the parsed attributes decides.
            m_text.bAttributesChecked = false;
        } else {
            m_state = State::kTag;
            m_tagStart = i + 1;
            m_names.clear();
        }
    }

    // In a comment, CDATA section, PI or declaration from i: where to go on.
    size_t SkipStep(size_t i, size_t limit)
    {
        if (m_state == State::kRaw) {
            i += FindAny(m_p + i, limit - i, '>', '>', '>');
            if (i < limit && i + 1 >= m_rawStart + m_nCloseLen &&
                std::memcmp(m_p + i + 1 - m_nCloseLen, m_close, m_nCloseLen) == 0)
                m_state = State::kText;
            return i + 1;
        }
        // A DOCTYPE or other declaration: skipped, brackets and all.
        i += FindAny(m_p + i, limit - i, '[', ']', '>');
        if (i < limit) {
            m_nDeclDepth += m_p[i] == '[' ? 1 : m_p[i] == ']' ? -1 : 0;
            if (m_nDeclDepth == 0 || (m_p[i] == '>' && m_nDeclDepth == 1))
                m_state = State::kText;
        }
        return i + 1;
    }

    Text& m_text;
    char* const m_p;
    const size_t m_n;
    Capture* const m_pCapture;
    ZkDiag::LineCounter m_lines;
    State m_state = State::kText;
    const char* m_close = nullptr;  // the end of the comment, CDATA or PI we are in
    size_t m_nCloseLen = 0;
    size_t m_rawStart = 0;
    int m_nDeclDepth = 0;  // inside "<!...>": 1 + open brackets
    bool m_bInEndTag = false;
    char m_quote = 0;             // the quote of the attribute value we are in
    size_t m_startTagEnd = 0;     // just past the '>' of the last start tag, 0: none since
    size_t m_tagStart = 0;        // just past the '<' of the tag we are in
    std::vector<size_t> m_names;  // where the names of the tag's attributes end
};

// Where the text first stops being valid UTF-8 of characters XML allows raw,
// and why.
void FindInvalid(Text& text)
{
    const char* reason = nullptr;
    const auto* s = reinterpret_cast<const unsigned char*>(text.Data());
    size_t from = 0;
#if defined(__SSE2__)
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

bool Prepare(ZkFileSystem::Bytes&& raw, Text& text, Capture* pCapture)
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
    FindInvalid(text);
    return true;
}

bool Check(Text& text, Capture* pCapture)
{
    if (!MarkupScan(text, pCapture).Run(text.nInvalid))
        return false;
    if (text.nInvalid < text.Size())
        return Malformed(pCapture, text.Data(), text.Size(), text.nInvalid, text.pszInvalid);
    return true;
}

}  // namespace ZkXmlInput
