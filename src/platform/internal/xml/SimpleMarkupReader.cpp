// The simple markup read: one pass over files that hold nothing but a
// declaration, nested elements and attributes, as most library files do.

#include "platform/internal/xml/XmlReader.h"

#include <cstring>

#include "platform/ZkCompiler.h"
#include "platform/internal/text/Unicode.h"

namespace ZkXmlReader {

namespace {

using ZkXmlDecoder::IsXmlSpace;

// The characters the simple markup read takes in names: ASCII letters, '_' and ':'
// first; digits, '-' and '.' after. A name beyond ASCII, whose characters
// XML's classes decide, is the pugixml read's.
struct NameClasses {
    unsigned char at[256] = {};
    constexpr NameClasses()
    {
        for (int c = 0; c < 128; ++c) {
            const bool bFirst =
                (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
            const bool bLater = bFirst || (c >= '0' && c <= '9') || c == '-' || c == '.';
            at[c] = static_cast<unsigned char>((bFirst ? 1 : 0) | (bLater ? 2 : 0));
        }
    }
};
constexpr NameClasses kNames;

bool StartsName(char c)
{
    return (kNames.at[static_cast<unsigned char>(c)] & 1) != 0;
}

bool InName(char c)
{
    return (kNames.at[static_cast<unsigned char>(c)] & 2) != 0;
}

struct NamedReference {
    const char* text;  // after the '&'
    size_t size;
    char ch;
};
const NamedReference kNamedReferences[] = {
    {"amp;", 4, '&'}, {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"quot;", 5, '"'}, {"apos;", 5, '\''},
};

// The named reference whose '&' is at p, with n bytes from p on; null when
// none of the five stands there.
const NamedReference* NamedReferenceAt(const char* p, size_t n)
{
    for (const NamedReference& r : kNamedReferences)
        if (n - 1 >= r.size && std::memcmp(p + 1, r.text, r.size) == 0)
            return &r;
    return nullptr;
}

}  // namespace

// One pass over text that holds nothing the full parse alone knows how to
// read. It writes nothing into the text until the whole of it has passed.
// The NUL after the text ends every scan that is not bounded otherwise: no
// byte before it is a NUL in text that passed the checks.
class PlainReader {
public:
    PlainReader(char* p, size_t n, Tree& tree)
        : m_p(p), m_n(n), m_elements(tree.m_elements), m_attributes(tree.m_attributes)
    {
        m_elements.reserve(n / 128 + 1);
        m_attributes.reserve(n / 48 + 1);
    }

    bool Run()
    {
        if (m_n >= kMaxCount)
            return false;
        size_t i = 0;
        if (ZkXmlDecoder::StartsDeclaration(m_p, m_n)) {
            size_t nError = 0;
            const char* pszReason = nullptr;
            i = ZkXmlDecoder::DeclarationEnd(m_p, m_n, nError, pszReason);
            if (i == 0)
                return false;
        }
        i = SkipSpace(i);
        if (At(i) != '<')
            return false;
        for (;;) {
            // At a '<'.
            if (At(i + 1) == '/') {
                if (!EndTag(i))
                    return false;
            } else {
                bool bOpen = false;
                if (!StartTag(i, bOpen))
                    return false;
                // White space alone as an element's text is its value.
                const size_t k = SkipSpace(i);
                if (bOpen && k > i && At(k) == '<' && At(k + 1) == '/')
                    return false;
                i = k;
            }
            i = SkipSpace(i);
            if (m_open.empty())
                break;
            if (At(i) != '<')
                return false;  // text, or the end of the file
        }
        if (i != m_n)
            return false;
        Decode();
        return true;
    }

private:
    struct Open {
        uint32_t nElement;
        uint32_t nLastChild;
    };

    // Any byte up to the NUL after the text.
    char At(size_t i) const { return m_p[i]; }

    size_t SkipSpace(size_t i) const
    {
        while (IsXmlSpace(m_p[i]))
            ++i;
        return i;
    }

    size_t NameEnd(size_t i) const
    {
        while (InName(m_p[i]))
            ++i;
        return i;
    }

    // "</name>" at i, closing the innermost open element.
    bool EndTag(size_t& i)
    {
        if (m_open.empty())
            return false;
        const Element& e = m_elements[m_open.back().nElement];
        size_t j = i + 2;
        if (m_n - j < e.nNameSize || std::memcmp(m_p + j, e.name, e.nNameSize) != 0)
            return false;
        j = SkipSpace(j + e.nNameSize);
        if (At(j) != '>')
            return false;
        m_open.pop_back();
        i = j + 1;
        return true;
    }

    // A start tag at i, its attributes with it; bOpen when it is not empty.
    bool StartTag(size_t& i, bool& bOpen)
    {
        if (!StartsName(At(i + 1)) || m_elements.size() >= kMaxCount - 1)
            return false;
        const size_t nameEnd = NameEnd(i + 2);
        const auto n = static_cast<uint32_t>(m_elements.size());
        if (!m_open.empty()) {
            Open& parent = m_open.back();
            if (parent.nLastChild == 0)
                m_elements[parent.nElement].nFirstChild = n;
            else
                m_elements[parent.nLastChild].nNextSibling = n;
            parent.nLastChild = n;
        } else if (n != 0) {
            return false;
        }
        m_elements.push_back(Element{m_p + i + 1, nullptr, static_cast<uint32_t>(nameEnd - i - 1),
                                     0, static_cast<uint32_t>(m_attributes.size()), 0, 0, 0});
        size_t j = nameEnd;
        for (;;) {
            char c = At(j);
            if (IsXmlSpace(c)) {
                j = SkipSpace(j);
                c = At(j);
                if (StartsName(c)) {
                    if (!AddAttribute(j))
                        return false;
                    continue;
                }
            }
            if (c == '>') {
                bOpen = true;
                m_open.push_back(Open{n, 0});
                i = j + 1;
                return true;
            }
            if (c == '/' && At(j + 1) == '>') {
                bOpen = false;
                i = j + 2;
                return true;
            }
            return false;
        }
    }

    // name="value" at i, of the last element.
    bool AddAttribute(size_t& i)
    {
        Element& e = m_elements.back();
        const size_t nameEnd = NameEnd(i + 1);
        const auto nNameSize = static_cast<uint32_t>(nameEnd - i);
        // Repeated names are the full parse's to report; past 32 attributes
        // the comparisons would cost more than it does.
        if (e.nAttributes == 32)
            return false;
        for (uint32_t k = e.nFirstAttribute; k < e.nFirstAttribute + e.nAttributes; ++k) {
            const Attribute& a = m_attributes[k];
            if (a.nNameSize == nNameSize && std::memcmp(a.name, m_p + i, nNameSize) == 0)
                return false;
        }
        size_t j = SkipSpace(nameEnd);
        if (At(j) != '=')
            return false;
        j = SkipSpace(j + 1);
        const char quote = At(j);
        if (quote != '"' && quote != '\'')
            return false;
        bool bDecode = false;
        const size_t end = ValueEnd(j + 1, quote, bDecode);
        if (end == m_n)
            return false;
        if (bDecode)
            m_decode.push_back(static_cast<uint32_t>(m_attributes.size()));
        m_attributes.push_back(
            Attribute{m_p + i, m_p + j + 1, nNameSize, static_cast<uint32_t>(end - j - 1)});
        ++e.nAttributes;
        i = end + 1;
        return true;
    }

    // Where the value from i closes, or m_n when it does not or holds what
    // the full parse alone reads. bDecode when it holds references or TAB,
    // LF or CR.
    size_t ValueEnd(size_t i, char quote, bool& bDecode) const
    {
        for (;;) {
#if ZKND_HAS_SSE2
            const __m128i vq = _mm_set1_epi8(quote);
            const __m128i vlt = _mm_set1_epi8('<');
            const __m128i vamp = _mm_set1_epi8('&');
            const __m128i v1f = _mm_set1_epi8(0x1F);
            for (; i + 16 <= m_n; i += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_p + i));
                const __m128i hit = _mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(v, vq), _mm_cmpeq_epi8(v, vlt)),
                    _mm_or_si128(_mm_cmpeq_epi8(v, vamp),
                                 _mm_cmpeq_epi8(_mm_min_epu8(v, v1f), v)));  // below 0x20
                const int mask = _mm_movemask_epi8(hit);
                if (mask != 0) {
                    i += static_cast<size_t>(
                        ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask)));
                    break;
                }
            }
#endif
            for (; i < m_n; ++i) {
                const char c = m_p[i];
                if (c == quote || c == '<' || c == '&' || static_cast<unsigned char>(c) < 0x20)
                    break;
            }
            if (i >= m_n || m_p[i] == '<')
                return m_n;
            if (m_p[i] == quote)
                return i;
            bDecode = true;
            if (m_p[i] == '&') {
                i = ReferenceEnd(i);
                if (i == m_n)
                    return m_n;
            } else {
                ++i;  // TAB, LF or CR: the only ones left in checked text
            }
        }
    }

    // Where the reference at i ends, or m_n when it is none the simple markup read
    // decodes: a named one of the five, or a number of a character XML allows.
    size_t ReferenceEnd(size_t i) const
    {
        if (At(i + 1) != '#') {
            const NamedReference* r = NamedReferenceAt(m_p + i, m_n - i);
            return r != nullptr ? i + 1 + r->size : m_n;
        }
        ZkXmlDecoder::Reference r;
        if (!ZkXmlDecoder::ReadReference(m_p, m_n, i, r) ||
            ZkXmlDecoder::ForbiddenCharacter(r.nValue))
            return m_n;
        return r.nEnd + 1;
    }

    // The values that hold references or white space other than spaces, as
    // XML reads them: in place, each no longer than it was.
    void Decode()
    {
        for (const uint32_t k : m_decode) {
            Attribute& a = m_attributes[k];
            char* const value = const_cast<char*>(a.value);
            const char* s = value;
            const char* const end = value + a.nValueSize;
            char* out = value;
            while (s < end) {
                const char c = *s;
                if (c == '\t' || c == '\n' || c == '\r') {
                    *out++ = ' ';
                    s += c == '\r' && s + 1 < end && s[1] == '\n' ? 2 : 1;
                } else if (c == '&' && s[1] == '#') {
                    ZkXmlDecoder::Reference r;
                    ZkXmlDecoder::ReadReference(value, a.nValueSize, static_cast<size_t>(s - value),
                                                r);
                    out = ZkText::EncodeUtf8(out, r.nValue);
                    s = value + r.nEnd + 1;
                } else if (c == '&') {
                    const NamedReference* r = NamedReferenceAt(s, static_cast<size_t>(end - s));
                    *out++ = r != nullptr ? r->ch : c;
                    s += r != nullptr ? 1 + r->size : 1;
                } else {
                    *out++ = *s++;
                }
            }
            a.nValueSize = static_cast<uint32_t>(out - value);
        }
    }

    char* const m_p;
    const size_t m_n;
    std::vector<Element>& m_elements;
    std::vector<Attribute>& m_attributes;
    std::vector<uint32_t> m_decode;  // attributes whose values need Decode
    std::vector<Open> m_open;
};

bool ReadSimpleMarkup(ZkXmlDecoder::DecodedText& text, Tree& tree)
{
    tree.Clear();
    if (text.nInvalid == text.Size() && PlainReader(text.Data(), text.Size(), tree).Run())
        return true;
    tree.Clear();
    return false;
}

}  // namespace ZkXmlReader
