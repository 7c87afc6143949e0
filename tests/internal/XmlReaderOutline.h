#pragma once

// A parsed tree written out whole, for comparing two reads of one document;
// shared by the tests and the fuzz harness.

#include <string>

#include "platform/internal/xml/XmlReader.h"

namespace zktest {

inline void OutlineOf(const ZkXmlReader::Tree& tree, const ZkXmlReader::Element& e,
                      std::string& out)
{
    out += '<';
    out.append(e.name, e.nNameSize);
    const ZkXmlReader::Attribute* a = tree.Attributes(e);
    for (uint32_t k = 0; k < e.nAttributes; ++k, ++a) {
        out += ' ';
        out.append(a->name, a->nNameSize);
        out += "=[";
        out.append(a->value, a->nValueSize);
        out += ']';
    }
    if (e.text != nullptr)
        out += " text[" + std::string(e.text, e.nTextSize) + "]";
    out += '>';
    for (const ZkXmlReader::Element* c = tree.FirstChild(e); c != nullptr; c = tree.NextSibling(*c))
        OutlineOf(tree, *c, out);
    out += "</>";
}

inline std::string Outline(const ZkXmlReader::Tree& tree)
{
    std::string out;
    if (tree.Root() != nullptr)
        OutlineOf(tree, *tree.Root(), out);
    return out;
}

}  // namespace zktest
