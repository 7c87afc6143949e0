#include "platform/internal/xml/XmlReader.h"

#include <cstring>
#include <utility>

#include <pugixml.hpp>

namespace ZkXmlReader {

Tree::Tree() = default;
Tree::~Tree() = default;

void Tree::Clear()
{
    m_elements.clear();
    m_attributes.clear();
    m_joined.clear();
    m_pDocument.reset();
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
