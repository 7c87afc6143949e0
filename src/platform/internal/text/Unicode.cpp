#include "platform/internal/text/Unicode.h"

#include <cstring>
#include <string>

namespace ZkText {

namespace {

template <typename Fold>
int CompareUnits(const wchar_t* a, size_t na, const wchar_t* b, size_t nb, Fold fold)
{
    const size_t n = na < nb ? na : nb;
    for (size_t i = 0; i < n; ++i) {
        const unsigned ca = Unit(fold(a[i]));
        const unsigned cb = Unit(fold(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
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

inline unsigned ThreeByteValue(const unsigned char* q)
{
    return ((q[0] & 0x0Fu) << 12) | ((q[1] & 0x3Fu) << 6) | (q[2] & 0x3Fu);
}

#if ZKND_HAS_SSE2
// How many three-byte UTF-8 characters that need no closer look (CJK) the 16
// bytes at p start with, at most five: a lead 1110xxxx at 0, 3, 6, 9 and 12
// with two bytes 10xxxxxx after it, and no lead E0, ED or EF, whose next
// bytes could make an overlong form, a surrogate, U+FFFE or U+FFFF. Byte 15
// is not looked at. Exact: a character counts only when all three of its
// bytes pass.
size_t PlainThreeByteRun(const unsigned char* p)
{
    const __m128i pattern = _mm_setr_epi8(-16, -64, -64, -16, -64, -64, -16, -64, -64, -16, -64,
                                          -64, -16, -64, -64, 0);  // F0 C0 C0 ...
    const __m128i expected = _mm_setr_epi8(-32, -128, -128, -32, -128, -128, -32, -128, -128, -32,
                                           -128, -128, -32, -128, -128, 0);  // E0 80 80 ...
    const __m128i leads = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i shaped = _mm_cmpeq_epi8(_mm_and_si128(v, pattern), expected);
    const __m128i special = _mm_and_si128(
        leads, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(-32)),   // E0
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8(-19))),  // ED
                            _mm_cmpeq_epi8(v, _mm_set1_epi8(-17))));              // EF
    const unsigned bad =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(special, shaped))) & 0x7FFFu;
    return bad == 0 ? 5 : static_cast<size_t>(ZkCompiler::TrailingZeros32(bad)) / 3;
}
#endif

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

// Just past the run of three-byte characters (CJK) that need no closer look
// from i on; each is handed to put.
template <typename Put>
inline size_t SkipThreeByteRun(const unsigned char* s, size_t n, size_t i, const Put& put)
{
#if ZKND_HAS_SSE2
    for (size_t k = 5; k == 5 && i + 16 <= n; i += 3 * k) {
        k = PlainThreeByteRun(s + i);
        for (size_t c = 0; c < k; ++c)
            put(s + i + 3 * c);
    }
#endif
    for (; i + 3 <= n && IsPlainThreeByte(s + i); i += 3)
        put(s + i);
    return i;
}

inline size_t SkipThreeByteRun(const unsigned char* s, size_t n, size_t i)
{
    return SkipThreeByteRun(s, n, i, [](const unsigned char*) {});
}

// Where [s, s + n) first stops being valid UTF-8 of characters XML allows
// raw, and why; n when it never does.
size_t FirstInvalid(const unsigned char* s, size_t n, Utf8Fault& fault)
{
    fault = Utf8Fault::kNone;
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
                fault = Utf8Fault::kForbidden;
                return i;
            }
            ++i;
            continue;
        }
        i = SkipThreeByteRun(s, n, i);
        if (i >= n || s[i] < 0x80)
            continue;
        size_t len = 1;
        const unsigned long v = DecodeUtf8(s + i, n - i, len);
        if (v == kNotUtf8 || v == 0xFFFE || v == 0xFFFF) {
            fault = v == kNotUtf8 ? Utf8Fault::kInvalid : Utf8Fault::kForbidden;
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

// Copies the run of ASCII from s[i] on to w, up to a byte from 0x80 on, and
// past a control character, which becomes U+FFFD unless it is TAB, LF or CR.
inline void DecodeAsciiRun(const unsigned char* s, size_t n, size_t& i, wchar_t*& w)
{
#if ZKND_HAS_SSE2
    // Sixteen bytes at a time (eight near the end), widened to wchar_t, of
    // which the run of printable ASCII at the front counts. Writing all the
    // units is safe: no sequence gives more units than it has bytes, so w is
    // never further on than s + i, and the buffer has room for n.
    for (;;) {
        const bool bWhole = i + 16 <= n;
        if (!bWhole && i + 8 > n)
            break;
        const __m128i v = bWhole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i))
                                 : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = _mm_unpacklo_epi8(v, zero);
        const __m128i hi = _mm_unpackhi_epi8(v, zero);
        if constexpr (sizeof(wchar_t) == 2) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), lo);
            if (bWhole)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8), hi);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_unpacklo_epi16(lo, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4), _mm_unpackhi_epi16(lo, zero));
            if (bWhole) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8), _mm_unpacklo_epi16(hi, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 12), _mm_unpackhi_epi16(hi, zero));
            }
        }
        // Signed: bytes from 0x80 on are negative, so they count as below
        // 0x20, as do the zero lanes past eight bytes loaded.
        const int mask = _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
        const size_t k = static_cast<size_t>(
            ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask) | 0x10000u));
        i += k;
        w += k;
        if (k < (bWhole ? 16u : 8u))
            break;
    }
#endif
    unsigned b0 = 0;
    for (; i < n && (b0 = s[i]) >= 0x20 && b0 < 0x80; ++i)
        *w++ = static_cast<wchar_t>(b0);
    if (i < n && b0 < 0x20) {
        *w++ = b0 == '\t' || b0 == '\n' || b0 == '\r' ? static_cast<wchar_t>(b0)
                                                      : static_cast<wchar_t>(0xFFFD);
        ++i;
    }
}

// Decodes the n bytes of parsed text at s into w, which has room for n units;
// returns the end. U+FFFE and U+FFFF only come from references that XML
// forbids: they become U+FFFD, as invalid sequences do.
wchar_t* DecodeParsedText(const unsigned char* s, size_t n, wchar_t* w)
{
    size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            DecodeAsciiRun(s, n, i, w);
            continue;
        }
        i = SkipThreeByteRun(s, n, i, [&w](const unsigned char* q) {
            *w++ = static_cast<wchar_t>(ThreeByteValue(q));
        });
        if (i >= n || s[i] < 0x80)
            continue;
        size_t len = 1;
        const unsigned long c = DecodeUtf8(s + i, n - i, len);
        w = EncodeUtf16(w, c == kNotUtf8 || c == 0xFFFE || c == 0xFFFF ? 0xFFFD : c);
        i += len;
    }
    return w;
}

}  // namespace

void AppendUnits(std::wstring& out, const wchar_t* psz, size_t n)
{
    if (psz == nullptr)
        return;
    if constexpr (sizeof(wchar_t) == 2) {
        out.append(psz, n);
    } else {
        out.reserve(out.size() + n);
        for (size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned long>(psz[i]);
            wchar_t units[2];
            const wchar_t* end = EncodeUtf16(units, c <= 0x10FFFF ? c : 0xFFFD);
            out.push_back(units[0]);
            if (end - units == 2)
                out.push_back(units[1]);
        }
    }
}

int CompareOrdinal(const wchar_t* a, size_t na, const wchar_t* b, size_t nb)
{
    return CompareUnits(a, na, b, nb, [](wchar_t c) { return c; });
}

int CompareOrdinalNoCase(const wchar_t* a, size_t na, const wchar_t* b, size_t nb)
{
    return CompareUnits(a, na, b, nb, FoldAscii);
}

std::string Utf16ToUtf8(const wchar_t* p, size_t n)
{
    std::string out(n * 3, '\0');
    const char* end =
        Utf16RunToUtf8([p](size_t i) { return static_cast<unsigned long>(Unit(p[i])); }, n, &out[0],
                       [](size_t, unsigned long) {});
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

std::string NameToUtf8(const wchar_t* psz)
{
    std::wstring units;
    if (psz != nullptr)
        AppendUnits(units, psz, std::char_traits<wchar_t>::length(psz));
    return Utf16ToUtf8(units.data(), units.size());
}

std::wstring Utf8ToUtf16(const char* p, size_t n)
{
    // No character takes more units than it has bytes.
    std::wstring out(n, L'\0');
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    wchar_t* w = &out[0];
    for (size_t i = 0; i < n;) {
        size_t len = 1;
        const unsigned long c = DecodeUtf8(s + i, n - i, len);
        w = EncodeUtf16(w, c == kNotUtf8 ? 0xFFFD : c);
        i += len;
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

void AssignUtf8(std::wstring& out, const char* p, size_t n)
{
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    // Short values are decoded on the stack, so that the string is allocated
    // once, at its final size (a fresh string is built: assigning would go
    // through the general replace).
    wchar_t buf[256];
    if (n <= sizeof buf / sizeof buf[0]) {
        const size_t len = static_cast<size_t>(DecodeParsedText(s, n, buf) - buf);
        if (len <= out.capacity()) {
            out.assign(buf, len);
        } else {
            out = std::wstring(buf, len);
        }
        return;
    }
    out.resize(n);
    out.resize(static_cast<size_t>(DecodeParsedText(s, n, &out[0]) - &out[0]));
}

size_t ValidXmlUtf8(const char* p, size_t n, Utf8Fault& fault)
{
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    size_t from = 0;
#if ZKND_HAS_SSE2
    from = FirstSuspectBlock(s, n);
#endif
    return from + FirstInvalid(s + from, n - from, fault);
}

}  // namespace ZkText
