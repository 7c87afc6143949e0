#include "platform/internal/text/Unicode.h"

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
            const unsigned long c = static_cast<unsigned long>(psz[i]);
            if (c < 0x10000) {
                out.push_back(static_cast<wchar_t>(c));
            } else if (c <= 0x10FFFF) {
                const unsigned long v = c - 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
            } else {
                out.push_back(static_cast<wchar_t>(0xFFFD));
            }
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
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        unsigned long c = Unit(p[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && Unit(p[i + 1]) >= 0xDC00 &&
            Unit(p[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Unit(p[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        char buf[4];
        out.append(buf, static_cast<size_t>(EncodeUtf8(buf, c) - buf));
    }
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
    std::wstring out;
    out.reserve(n);
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    size_t i = 0;
    while (i < n) {
        const unsigned b0 = s[i];
        unsigned long c = 0xFFFD;
        size_t len = 1;
        auto cont = [&](size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
        if (b0 < 0x80) {
            c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
            c = ((b0 & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
            const unsigned long v =
                ((b0 & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
                c = v;
                len = 3;
            }
        } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
            const unsigned long v = ((b0 & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                                    ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                c = v;
                len = 4;
            }
        }
        if (c >= 0x10000) {
            const unsigned long v = c - 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
        i += len;
    }
    return out;
}

namespace {

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes n bytes into w, which has room for n units; returns the end.
wchar_t* DecodeUtf8(const unsigned char* s, size_t n, wchar_t* w)
{
    size_t i = 0;
    while (i < n) {
        unsigned b0 = s[i];
        if (b0 < 0x80) {
#if ZKND_HAS_SSE2
            // Sixteen bytes at a time (eight near the end), widened to
            // wchar_t, of which the run of printable ASCII at the front
            // counts. Writing all the units is safe: no sequence gives more
            // units than it has bytes, so w is never further on than s + i,
            // and the buffer has room for n.
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
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4),
                                     _mm_unpackhi_epi16(lo, zero));
                    if (bWhole) {
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 8),
                                         _mm_unpacklo_epi16(hi, zero));
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 12),
                                         _mm_unpackhi_epi16(hi, zero));
                    }
                }
                // Signed: bytes from 0x80 on are negative, so they count as
                // below 0x20, as do the zero lanes past eight bytes loaded.
                const int mask = _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
                const size_t k = static_cast<size_t>(
                    ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask) | 0x10000u));
                i += k;
                w += k;
                if (k < (bWhole ? 16u : 8u))
                    break;
            }
#endif
            for (; i < n && (b0 = s[i]) >= 0x20 && b0 < 0x80; ++i)
                *w++ = static_cast<wchar_t>(b0);
            if (i < n && b0 < 0x20) {
                *w++ = b0 == '\t' || b0 == '\n' || b0 == '\r' ? static_cast<wchar_t>(b0)
                                                              : static_cast<wchar_t>(0xFFFD);
                ++i;
            }
            continue;
        }
        // Runs of three-byte characters (CJK); an overlong form or a
        // surrogate leaves the run for the checked decoder below.
#if ZKND_HAS_SSE2
        for (size_t k = 5; k == 5 && i + 16 <= n; i += 3 * k) {
            k = PlainThreeByteRun(s + i);
            for (size_t c = 0; c < k; ++c) {
                const unsigned char* q = s + i + 3 * c;
                *w++ = static_cast<wchar_t>(((q[0] & 0x0Fu) << 12) | ((q[1] & 0x3Fu) << 6) |
                                            (q[2] & 0x3Fu));
            }
        }
#endif
        while (i + 3 <= n) {
            const unsigned c0 = s[i];
            const unsigned c1 = s[i + 1];
            const unsigned c2 = s[i + 2];
            if ((c0 & 0xF0) != 0xE0 || (c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80)
                break;
            const unsigned v = ((c0 & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu);
            if (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF))
                break;
            // U+FFFE and U+FFFF only come from references that XML forbids.
            *w++ = static_cast<wchar_t>(v < 0xFFFE ? v : 0xFFFD);
            i += 3;
        }
        if (i >= n || (b0 = s[i]) < 0x80)
            continue;
        if (b0 >= 0xC2 && b0 <= 0xDF && i + 1 < n && IsContinuation(s[i + 1])) {
            *w++ = static_cast<wchar_t>(((b0 & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu));
            i += 2;
            continue;
        }
        // Four-byte and invalid sequences share the checked decoder.
        size_t len = 1;
        while (len < 4 && i + len < n && IsContinuation(s[i + len]))
            ++len;
        const std::wstring units = Utf8ToUtf16(reinterpret_cast<const char*>(s + i), len);
        for (const wchar_t u : units)
            *w++ = u;
        i += len;
    }
    return w;
}

}  // namespace

void AssignUtf8(std::wstring& out, const char* p, size_t n)
{
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    // Short values are decoded on the stack, so that the string is allocated
    // once, at its final size (a fresh string is built: assigning would go
    // through the general replace).
    wchar_t buf[256];
    if (n <= sizeof buf / sizeof buf[0]) {
        const size_t len = static_cast<size_t>(DecodeUtf8(s, n, buf) - buf);
        if (len <= out.capacity()) {
            out.assign(buf, len);
        } else {
            out = std::wstring(buf, len);
        }
        return;
    }
    out.resize(n);
    out.resize(static_cast<size_t>(DecodeUtf8(s, n, &out[0]) - &out[0]));
}

}  // namespace ZkText
