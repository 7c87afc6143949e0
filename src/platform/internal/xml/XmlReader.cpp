#include "platform/internal/xml/XmlReader.h"

#include <cstring>
#include <utility>

#include <pugixml.hpp>

#include "platform/ZkCompiler.h"
#include "platform/internal/text/Unicode.h"

namespace ZkXmlReader {

namespace {

using ZkXmlDecoder::IsXmlSpace;

const uint32_t kMaxCount = UINT32_MAX;

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

Tree::Tree() = default;
Tree::~Tree() = default;

void Tree::Clear()
{
    m_elements.clear();
    m_attributes.clear();
    m_joined.clear();
    m_pDocument.reset();
}

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

namespace {

// Each element's attributes have distinct names.
bool FindDuplicateAttribute(const pugi::xml_document& doc, pugi::xml_attribute& dup)
{
    const char* names[32];
    pugi::xml_attribute attributes[32];
    pugi::xml_node n = doc.first_child();
    while (n) {
        size_t k = 0;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            for (size_t j = 0; j < k; ++j)
                if (names[j][0] == name[0] && std::strcmp(names[j], name) == 0) {
                    dup = a;
                    return true;
                }
            if (k < 32) {
                attributes[k] = a;
                names[k++] = name;
            } else {
                // Beyond the array, the plain way.
                for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                    if (std::strcmp(name, b.name()) == 0) {
                        dup = b;
                        return true;
                    }
            }
        }
        if (pugi::xml_node c = n.first_child()) {
            n = c;
            continue;
        }
        while (n && !n.next_sibling())
            n = n.parent();
        if (n)
            n = n.next_sibling();
    }
    return false;
}

uint32_t Size32(const char* p)
{
    return static_cast<uint32_t>(std::strlen(p));
}

}  // namespace

// The tree of a document pugixml parsed.
class TreeBuilder {
public:
    explicit TreeBuilder(Tree& tree) : m_tree(tree) {}

    // The tree keeps the document, which holds the texts joined by pugixml.
    void Build(std::unique_ptr<pugi::xml_document> pDocument)
    {
        const pugi::xml_node root = pDocument->document_element();
        m_tree.m_pDocument = std::move(pDocument);
        struct Frame {
            pugi::xml_node next;  // the next child to look at
            uint32_t nElement;
            uint32_t nLastChild;
        };
        std::vector<Frame> stack;
        stack.push_back(Frame{root.first_child(), Add(root), 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            pugi::xml_node c = f.next;
            while (c && c.type() != pugi::node_element)
                c = c.next_sibling();
            if (!c) {
                stack.pop_back();
                continue;
            }
            f.next = c.next_sibling();
            const uint32_t n = Add(c);
            if (f.nLastChild == 0)
                m_tree.m_elements[f.nElement].nFirstChild = n;
            else
                m_tree.m_elements[f.nLastChild].nNextSibling = n;
            f.nLastChild = n;
            stack.push_back(Frame{c.first_child(), n, 0});
        }
    }

private:
    uint32_t Add(pugi::xml_node node)
    {
        Element e{node.name(),
                  nullptr,
                  Size32(node.name()),
                  0,
                  static_cast<uint32_t>(m_tree.m_attributes.size()),
                  0,
                  0,
                  0};
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            m_tree.m_attributes.push_back(
                Attribute{a.name(), a.value(), Size32(a.name()), Size32(a.value())});
            ++e.nAttributes;
        }
        SetText(node, e);
        m_tree.m_elements.push_back(e);
        return static_cast<uint32_t>(m_tree.m_elements.size() - 1);
    }

    void SetText(pugi::xml_node node, Element& e)
    {
        pugi::xml_node first;
        int nTexts = 0;
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                if (nTexts++ == 0)
                    first = c;
        if (nTexts == 0)
            return;
        if (nTexts == 1) {
            e.text = first.value();
        } else {
            std::string& joined = m_tree.m_joined.emplace_back();
            for (pugi::xml_node c = first; c; c = c.next_sibling())
                if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                    joined += c.value();
            e.text = joined.c_str();
        }
        e.nTextSize = Size32(e.text);
    }

    Tree& m_tree;
};

bool ReadWithPugixml(ZkXmlDecoder::DecodedText& text, ZkDiag::Capture* pCapture, Tree& tree,
                     Failure& failure)
{
    tree.Clear();
    failure = Failure();
    if (!ZkXmlDecoder::CheckWellFormed(text, pCapture))
        return false;
    auto fail = [&failure](const char* pszReason, size_t nOffset) {
        failure.pszReason = pszReason;
        failure.nOffset = nOffset;
        return false;
    };
    // Sizes and counts are kept in 32 bits.
    if (text.Size() >= kMaxCount)
        return fail("a library file of 4 GB or more", static_cast<size_t>(-1));
    // No DOCTYPE processing: entities are never declared, fetched or
    // expanded. A value of white space alone is kept; with comments, CDATA
    // or PIs about, white space between them is kept too.
    const unsigned options =
        pugi::parse_default | (text.bMarkupInText       ? pugi::parse_ws_pcdata
                               : text.bWhiteSpaceValues ? pugi::parse_ws_pcdata_single
                                                        : 0);
    auto pDocument = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result r =
        pDocument->load_buffer_inplace(text.Data(), text.Size(), options, pugi::encoding_utf8);
    if (!r)
        return fail(r.description(), static_cast<size_t>(r.offset));
    int nElements = 0;
    for (pugi::xml_node n = pDocument->first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element && ++nElements == 2)
            return fail("more than one root element", text.OffsetOf(n.name()));
    if (nElements == 0)
        return fail("no root element", text.Size());
    if (text.bAttributesChecked) {
        if (text.nDuplicateAttribute != std::string::npos)
            return fail("duplicated attribute", text.nDuplicateAttribute);
    } else {
        pugi::xml_attribute dup;
        if (FindDuplicateAttribute(*pDocument, dup))
            return fail("duplicated attribute", text.OffsetOf(dup.name()));
    }
    TreeBuilder(tree).Build(std::move(pDocument));
    return true;
}

}  // namespace ZkXmlReader
