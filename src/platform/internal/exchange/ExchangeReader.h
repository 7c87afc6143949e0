#pragma once

// The reading side of a root exchange (not exported): the file's text, parsed
// in place, the sections and properties found in it, and the warnings of
// values that do not read, placed at their line and column once the reading
// is done. What records ask for on every property is defined here, to be
// inlined where they ask.

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/internal/files/FileSystem.h"
#include "platform/internal/report/Diagnostics.h"
#include "platform/internal/text/Number.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDecoder.h"
#include "platform/internal/xml/XmlReader.h"
#include "platform/stu3Value.h"

namespace ZkExchangeRead {

using ZkXmlReader::Attribute;
using ZkXmlReader::Element;

// A property or section name (ASCII in practice) against the n bytes of
// UTF-8 at utf8 in the document, compared in place.
bool NameIs(const char* utf8, size_t n, const wchar_t* name);

inline bool NameIs(const Element& e, const wchar_t* name)
{
    return NameIs(e.name, e.nNameSize, name);
}

inline bool NameIs(const Element& e, const char* name)
{
    return e.nNameSize == std::strlen(name) && std::memcmp(e.name, name, e.nNameSize) == 0;
}

// "x,y,z" as ZkTextToU3Value reads it, from the bytes.
inline bool ParseThreeNumbers(const char* p, size_t n, stu3Value& value)
{
    double parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const void* pComma = std::memchr(p + start, ',', n - start);
        if ((pComma == nullptr) != (i == 2))
            return false;
        const size_t end =
            pComma != nullptr ? static_cast<size_t>(static_cast<const char*>(pComma) - p) : n;
        if (!ZkNumber::ParseWhole(p + start, end - start, ZkNumber::kThreeNumberPart, parts[i]))
            return false;
        start = end + 1;
    }
    value = stu3Value(parts[0], parts[1], parts[2]);
    return true;
}

inline const Element* AsElement(const void* p)
{
    return static_cast<const Element*>(p);
}

class Reader {
public:
    Reader() = default;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { PlacePending(); }

    // Where the outcome and warnings go (null: nowhere).
    ZkDiag::Capture* pCapture = nullptr;
    // The file's bytes, when LoadFromFile read them.
    ZkFileSystem::Bytes fileBytes;

    // Parses raw (taken over). pFileBytes, when given, holds the same bytes,
    // unchanged while the reader lives: warnings find their lines there.
    // False when the text does not read; the capture says why.
    bool Load(ZkFileSystem::Bytes&& raw, const ZkFileSystem::Bytes* pFileBytes);
    void Clear() { m_tree.Clear(); }
    // The root element; null before a successful Load.
    const Element* Root() const { return m_tree.Root(); }

    // The text of a property of the element pNode, and its size: an
    // attribute, looked for from *pNext to the end (records mostly ask for
    // the one after the last read), then from the first up to *pNext; or the
    // text of a child element. Null when absent.
    const char* Find(const void* pNode, void*& pNext, const wchar_t* pszName, size_t& n) const
    {
        if (pNode == nullptr)
            return nullptr;
        const Element& e = *AsElement(pNode);
        const Attribute* const first = m_tree.Attributes(e);
        const Attribute* const last = first + e.nAttributes;
        const Attribute* const start = pNext != nullptr ? static_cast<Attribute*>(pNext) : first;
        const Attribute* a = start;
        const Attribute* end = last;
        for (int pass = 0; pass < 2; ++pass) {
            for (; a != end; ++a)
                if (NameIs(a->name, a->nNameSize, pszName)) {
                    pNext = const_cast<Attribute*>(a + 1);
                    n = a->nValueSize;
                    return a->value;
                }
            a = first;
            end = start;
        }
        const Element* c = NamedChild(&e, pszName, true);
        if (c == nullptr)
            return nullptr;
        n = c->nTextSize;
        return c->text != nullptr ? c->text : "";
    }

    // The first child of e named name (bChild), or the next sibling after e
    // that is; null when there is none, or no e. The name is the caller's
    // (wide) or the document's (UTF-8).
    template <typename Name>
    const Element* NamedChild(const Element* e, const Name* name, bool bChild) const
    {
        if (e == nullptr)
            return nullptr;
        const Element* c = bChild ? m_tree.FirstChild(*e) : m_tree.NextSibling(*e);
        while (c != nullptr && !NameIs(*c, name))
            c = m_tree.NextSibling(*c);
        return c;
    }

    // A number property: 1 when it reads; a value that does not read is a
    // warning.
    template <typename T>
    int ReadNumber(const void* pNode, void*& pNext, const wchar_t* pszName, T& value)
    {
        size_t n = 0;
        const char* text = Find(pNode, pNext, pszName, n);
        if (text == nullptr)
            return 0;
        if (ZkNumber::ParseWhole(text, n, ZkNumber::kPropertyValue, value))
            return 1;
        BadValue(
            pNode, pszName, text, n,
            std::is_integral<T>::value ? ZkDiag::ValueType::kInteger : ZkDiag::ValueType::kReal);
        return 0;
    }

    // A position in the host's three-number form: 1 when present; the value
    // changes only when all three numbers read, else it is a warning.
    int ReadThreeNumbers(const void* pNode, void*& pNext, const wchar_t* pszName, stu3Value& value)
    {
        size_t n = 0;
        const char* text = Find(pNode, pNext, pszName, n);
        if (text == nullptr)
            return 0;
        if (!ParseThreeNumbers(text, n, value))
            BadValue(pNode, pszName, text, n, ZkDiag::ValueType::kThreeNumbers);
        return 1;
    }

private:
    // A value of pNode's property that does not read, as a warning to place.
    void BadValue(const void* pNode, const wchar_t* pszName, const char* value, size_t n,
                  ZkDiag::ValueType type);
    void ParseFailed(const char* reason, size_t offset);
    void PlacePending();

    ZkXmlDecoder::DecodedText m_text;
    ZkXmlReader::Tree m_tree;
    const ZkFileSystem::Bytes* m_pFileBytes = nullptr;
    // Warnings waiting for their place, by offset into the text.
    std::vector<std::pair<size_t, size_t>> m_pending;  // warning index, offset
    bool m_bErrorPending = false;
    size_t m_nErrorOffset = 0;
};

}  // namespace ZkExchangeRead
