#pragma once

// A parsed library file as the exchange reads it (not exported): elements
// with their attributes, children and text, pointing into the text, which
// must outlive the tree. Most files hold nothing but a declaration, nested
// elements and attributes; ReadSimpleMarkup reads those in one pass. Anything else
// goes through ReadWithPugixml: the checks of the whole markup, then pugixml.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/report/Diagnostics.h"
#include "platform/internal/xml/XmlDecoder.h"

namespace pugi {
class xml_document;
}

namespace ZkXmlReader {

// Sizes and counts are kept in 32 bits: texts and trees stay below this.
constexpr uint32_t kMaxCount = UINT32_MAX;

struct Attribute {
    const char* name;
    const char* value;  // decoded: references, and white space as XML reads it
    uint32_t nNameSize;
    uint32_t nValueSize;
};

struct Element {
    const char* name;
    const char* text;  // all its text and CDATA in order; null when it has none
    uint32_t nNameSize;
    uint32_t nTextSize;
    uint32_t nFirstAttribute;
    uint32_t nAttributes;
    uint32_t nFirstChild;  // element indices; 0 is the root, so 0 here is none
    uint32_t nNextSibling;
};

// Not copied: it owns what the pugixml read parsed.
class Tree {
public:
    Tree();
    ~Tree();

    void Clear();

    // Null before a successful read.
    const Element* Root() const { return m_elements.empty() ? nullptr : m_elements.data(); }
    const Element* FirstChild(const Element& e) const { return At(e.nFirstChild); }
    const Element* NextSibling(const Element& e) const { return At(e.nNextSibling); }
    const Attribute* Attributes(const Element& e) const
    {
        return m_attributes.data() + e.nFirstAttribute;
    }

private:
    friend class PlainReader;
    friend class TreeBuilder;

    const Element* At(uint32_t n) const { return n == 0 ? nullptr : m_elements.data() + n; }

    std::vector<Element> m_elements;
    std::vector<Attribute> m_attributes;
    std::deque<std::string> m_joined;  // texts made of several pieces
    std::unique_ptr<pugi::xml_document> m_pDocument;
};

// Reads prepared text (SimpleMarkupReader.cpp) that holds only an optional
// declaration in XML's form, white space, and one element of elements with
// ASCII names and attributes whose values hold at most the five named
// references, character references to characters XML allows, and TAB, LF
// and CR. False for anything else, with the text unchanged and the tree
// empty: the pugixml read decides then.
bool ReadSimpleMarkup(ZkXmlDecoder::DecodedText& text, Tree& tree);

// Why the pugixml read failed, when the checks had not already reported it.
struct Failure {
    const char* pszReason = nullptr;           // null: reported to the capture by the checks
    size_t nOffset = static_cast<size_t>(-1);  // into the text; -1: unknown
};

// Checks the whole markup, parses, and requires one root element and
// attributes whose names are distinct within their element.
bool ReadWithPugixml(ZkXmlDecoder::DecodedText& text, ZkDiag::Capture* pCapture, Tree& tree,
                     Failure& failure);

}  // namespace ZkXmlReader
