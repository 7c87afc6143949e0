#include "platform/CXTPPropExchange.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "platform/internal/ExchangeAccess.h"
#include "platform/internal/FileSystem.h"
#include "platform/internal/Number.h"
#include "platform/internal/Text.h"
#include "platform/internal/XmlInput.h"
#include "platform/internal/XmlWriter.h"

namespace {

// A property or section name (ASCII in practice) against UTF-8 in the
// document, compared in place.
bool NameIs(const char* utf8, const wchar_t* name)
{
    for (;; ++utf8, ++name) {
        if (!ZkText::IsAscii(*name))
            return std::strcmp(utf8, ZkText::NameToUtf8(name).c_str()) == 0;
        if (*name == 0 || *name != static_cast<unsigned char>(*utf8))
            return *name == 0 && *utf8 == 0;
    }
}

pugi::xml_node Node(void* p)
{
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(p));
}

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

// A real as the shortest text that reads back to the same bits.
size_t NumberText(char* buf, size_t size, double value)
{
    return static_cast<size_t>(ZkNumber::ShortestText(buf, buf + size, value) - buf);
}

size_t NumberText(char* buf, size_t size, int value)
{
    return static_cast<size_t>(std::to_chars(buf, buf + size, value).ptr - buf);
}

// "x,y,z" as ZkTextToU3Value reads it, from the bytes.
bool ParseU3(const char* p, size_t n, stu3Value& value)
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

}  // namespace

struct CXTPPropExchange::Root {
    bool bLoading = false;
    std::string strRootName;  // UTF-8
    ZkDiag::Capture* pCapture = nullptr;

    // Reading.
    ZkXmlInput::Text text;
    pugi::xml_document doc;
    std::wstring strPath;
    std::string strJoined;  // a value held in several text nodes
    // Warnings waiting for their place, by offset into the text: the text
    // was parsed in place, so lines are counted in a fresh copy.
    std::vector<std::pair<size_t, size_t>> pending;  // warning index, offset
    bool bErrorPending = false;
    size_t nErrorOffset = 0;

    // Writing.
    ZkXmlOutput::Writer writer;

    ~Root() { PlacePending(); }

    size_t OffsetOf(const char* p) const
    {
        const char* base = text.Data();
        return p >= base && p < base + text.Size() ? static_cast<size_t>(p - base)
                                                   : static_cast<size_t>(-1);
    }

    void PlacePending()
    {
        if (pCapture == nullptr || (pending.empty() && !bErrorPending))
            return;
        ZkFileSystem::Bytes raw;
        ZkXmlInput::Text again;
        if (!ZkFileSystem::ReadWholeFile(strPath.c_str(), raw) ||
            !ZkXmlInput::Prepare(std::move(raw), again, nullptr))
            return;
        std::sort(pending.begin(), pending.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        ZkDiag::LineCounter lines(again.Data(), again.Size());
        for (const auto& p : pending)
            if (p.first < pCapture->warnings.size())
                pCapture->warnings[p.first].at = lines.At(p.second);
        if (bErrorPending)
            pCapture->at = ZkDiag::LineCounter(again.Data(), again.Size()).At(nErrorOffset);
        pending.clear();
        bErrorPending = false;
    }

    void BadValue(pugi::xml_node node, const wchar_t* pszName, const char* value,
                  ZkDiag::ValueType type)
    {
        if (pCapture == nullptr)
            return;
        ZkDiag::Warning w;
        w.kind = ZkDiag::WarningKind::kBadValue;
        w.valueType = type;
        w.strSection = ZkDiag::WideFromUtf8(node.name());
        w.strProperty = pszName;
        w.strText = ZkDiag::WideFromUtf8(value);
        const size_t offset = OffsetOf(value);
        if (pCapture->Add(std::move(w)) && offset != static_cast<size_t>(-1))
            pending.emplace_back(pCapture->warnings.size() - 1, offset);
    }

    bool Parse(ZkXmlInput::Text& t)
    {
        // No DOCTYPE processing: entities are never declared, fetched or
        // expanded. A value of white space alone is kept; with comments,
        // CDATA or PIs about, white space between them is kept too.
        const unsigned options =
            pugi::parse_default | (t.bMarkupInText       ? pugi::parse_ws_pcdata
                                   : t.bWhiteSpaceValues ? pugi::parse_ws_pcdata_single
                                                         : 0);
        const pugi::xml_parse_result r =
            doc.load_buffer_inplace(t.Data(), t.Size(), options, pugi::encoding_utf8);
        if (!r)
            return ParseFailed(r.description(), static_cast<size_t>(r.offset));
        int nElements = 0;
        for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
            if (n.type() == pugi::node_element && ++nElements == 2)
                return ParseFailed("more than one root element", OffsetOf(n.name()));
        if (nElements == 0)
            return ParseFailed("no root element", t.Size());
        if (t.bAttributesChecked) {
            if (t.nDuplicateAttribute != std::string::npos)
                return ParseFailed("duplicated attribute", t.nDuplicateAttribute);
            return true;
        }
        pugi::xml_attribute dup;
        if (FindDuplicateAttribute(doc, dup))
            return ParseFailed("duplicated attribute", OffsetOf(dup.name()));
        return true;
    }

    bool ParseFailed(const char* reason, size_t offset)
    {
        if (pCapture != nullptr) {
            pCapture->Fail(ZkOutcome::kMalformed, reason);
            bErrorPending = offset != static_cast<size_t>(-1);
            nErrorOffset = offset;
            PlacePending();
        }
        doc.reset();
        return false;
    }

    // The text of a property of the element pNode: an attribute, looked for
    // from *pNext to the end (records mostly ask for the one after the last
    // read), then from the first up to *pNext; or the text of a child
    // element. Null when absent.
    const char* Find(void* pNode, void*& pNext, const wchar_t* pszName)
    {
        if (pNode == nullptr)
            return nullptr;
        const pugi::xml_node node = Node(pNode);
        const pugi::xml_attribute start(static_cast<pugi::xml_attribute_struct*>(pNext));
        pugi::xml_attribute a = start ? start : node.first_attribute();
        pugi::xml_attribute end;  // none: to the last
        for (int pass = 0; pass < 2; ++pass) {
            for (; a != end; a = a.next_attribute())
                if (NameIs(a.name(), pszName)) {
                    pNext = a.next_attribute().internal_object();
                    return a.value();
                }
            if (!start)
                break;
            a = node.first_attribute();
            end = start;
        }
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element && NameIs(c.name(), pszName))
                return TextOf(c);
        return nullptr;
    }

    template <typename T>
    int ReadNumber(void* pNode, void*& pNext, const wchar_t* pszName, T& value)
    {
        const char* text = Find(pNode, pNext, pszName);
        if (text == nullptr)
            return 0;
        if (ZkNumber::ParseWhole(text, std::strlen(text), ZkNumber::kPropertyValue, value))
            return 1;
        BadValue(
            Node(pNode), pszName, text,
            std::is_integral<T>::value ? ZkDiag::ValueType::kInteger : ZkDiag::ValueType::kReal);
        return 0;
    }

    template <typename T>
    int WriteNumber(unsigned long nSerial, int nDepth, int nMode, const wchar_t* pszName, T value)
    {
        char buf[64];
        const size_t n = NumberText(buf, sizeof buf, value);
        return writer.PropertyAscii(nSerial, nDepth, nMode == 1, pszName, buf, n) ? 1 : 0;
    }

    // All text and CDATA of an element, in order.
    const char* TextOf(pugi::xml_node element)
    {
        pugi::xml_node first;
        int nTexts = 0;
        for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                if (nTexts++ == 0)
                    first = c;
        if (nTexts <= 1)
            return nTexts == 0 ? "" : first.value();
        strJoined.clear();
        for (pugi::xml_node c = first; c; c = c.next_sibling())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                strJoined += c.value();
        return strJoined.c_str();
    }
};

CXTPPropExchange::CXTPPropExchange(int bLoading, const CXTPPropExchange* /*pParent*/,
                                   const wchar_t* lpszSection)
    : m_pRoot(new Root),
      m_pNode(nullptr),
      m_pNextAttribute(nullptr),
      m_nSerial(0),
      m_nDepth(0),
      m_nCompactMode(0),
      m_bOwnsRoot(true)
{
    m_pRoot->bLoading = bLoading != 0;
    m_pRoot->strRootName = ZkText::NameToUtf8(lpszSection);
    if (!m_pRoot->bLoading) {
        m_pRoot->writer.Start(m_pRoot->strRootName, nullptr);
        m_nSerial = 1;
    }
}

CXTPPropExchange::CXTPPropExchange(Root* pRoot, void* pNode, unsigned long nSerial, int nDepth,
                                   int nMode)
    : m_pRoot(pRoot),
      m_pNode(pNode),
      m_pNextAttribute(nullptr),
      m_nSerial(nSerial),
      m_nDepth(nDepth),
      m_nCompactMode(nMode),
      m_bOwnsRoot(false)
{
}

CXTPPropExchange::CXTPPropExchange(CXTPPropExchange&& other) noexcept
    : m_pRoot(other.m_pRoot),
      m_pNode(other.m_pNode),
      m_pNextAttribute(other.m_pNextAttribute),
      m_nSerial(other.m_nSerial),
      m_nDepth(other.m_nDepth),
      m_nCompactMode(other.m_nCompactMode),
      m_bOwnsRoot(other.m_bOwnsRoot)
{
    other.m_bOwnsRoot = false;
}

CXTPPropExchange::~CXTPPropExchange()
{
    if (m_bOwnsRoot)
        delete m_pRoot;
}

int CXTPPropExchange::LoadFromFile(const wchar_t* lpszPath)
{
    Root& root = *m_pRoot;
    if (!root.bLoading || !m_bOwnsRoot || lpszPath == nullptr)
        return 0;
    root.doc.reset();
    m_pNode = nullptr;
    root.strPath = lpszPath;
    ZkFileSystem::Bytes raw;
    ZkFileSystem::FileError error;
    if (!ZkFileSystem::ReadWholeFile(lpszPath, raw, &error)) {
        if (root.pCapture != nullptr)
            root.pCapture->FailFile(error);
        return 0;
    }
    if (!ZkXmlInput::Prepare(std::move(raw), root.text, root.pCapture) || !root.Parse(root.text))
        return 0;
    m_pNode = root.doc.document_element().internal_object();
    if (root.pCapture != nullptr && root.pCapture->outcome == ZkOutcome::kNone)
        root.pCapture->outcome = ZkOutcome::kDone;
    return 1;
}

int CXTPPropExchange::IsRootSectionPresent() const
{
    const pugi::xml_node root = m_pRoot->doc.document_element();
    if (root && m_pRoot->strRootName == root.name())
        return 1;
    if (root && m_pRoot->pCapture != nullptr) {
        m_pRoot->pCapture->Fail(ZkOutcome::kWrongRoot, std::string("the root element is \"") +
                                                           root.name() + "\", not \"" +
                                                           m_pRoot->strRootName + "\"");
        m_pRoot->pCapture->strName = ZkDiag::WideFromUtf8(root.name());
    }
    return 0;
}

int CXTPPropExchange::SaveToFile(const wchar_t* lpszPath, int /*bFormatted*/)
{
    if (m_pRoot->bLoading || !m_bOwnsRoot || lpszPath == nullptr)
        return 1;
    return m_pRoot->writer.Save(lpszPath) ? 0 : 1;
}

void CXTPPropExchange::SetCompactMode(int nMode)
{
    m_nCompactMode = nMode;
}

int CXTPPropExchange::IsLoading() const
{
    return m_pRoot->bLoading ? 1 : 0;
}

CXTPPropExchange CXTPPropExchange::GetSection(const wchar_t* lpszSection)
{
    if (m_pRoot->bLoading) {
        void* child = nullptr;
        for (pugi::xml_node c = Node(m_pNode).first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element && NameIs(c.name(), lpszSection)) {
                child = c.internal_object();
                break;
            }
        return CXTPPropExchange(m_pRoot, child, 0, 0, m_nCompactMode);
    }
    const CXTPPropExchangeEnumerator name(this, lpszSection);
    const unsigned long nChild =
        m_pRoot->writer.OpenChild(m_nSerial, m_nDepth, name.m_pszName, std::strlen(name.m_pszName));
    return CXTPPropExchange(m_pRoot, nullptr, nChild, m_nDepth + 1, m_nCompactMode);
}

CXTPPropExchangeEnumerator CXTPPropExchange::GetEnumerator(const wchar_t* lpszSection)
{
    return CXTPPropExchangeEnumerator(this, lpszSection);
}

void CXTPPropExchange::EmptySection() {}

int CXTPPropExchange::AfterItem(const CXTPPropExchange* pItem) const
{
    return pItem != nullptr && !m_pRoot->bLoading && pItem->m_pRoot == m_pRoot &&
                   pItem->m_nDepth == m_nDepth + 1 && pItem->m_nSerial > m_nSerial &&
                   m_pRoot->writer.IsOpen(m_nSerial, m_nDepth)
               ? 1
               : 0;
}

int CXTPPropExchange::PX_String(const wchar_t* lpszName, CString& value)
{
    if (m_pRoot->bLoading) {
        const char* text = m_pRoot->Find(m_pNode, m_pNextAttribute, lpszName);
        if (text == nullptr)
            return 0;
        ZkText::AssignUtf8(ZkCStringAccess::Units(value), text, std::strlen(text));
        return 1;
    }
    return m_pRoot->writer.Property(m_nSerial, m_nDepth, m_nCompactMode == 1, lpszName,
                                    value.GetString(), static_cast<size_t>(value.GetLength()))
               ? 1
               : 0;
}

int CXTPPropExchange::PX_Double(const wchar_t* lpszName, double& value)
{
    if (m_pRoot->bLoading)
        return m_pRoot->ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
    return m_pRoot->WriteNumber(m_nSerial, m_nDepth, m_nCompactMode, lpszName, value);
}

int CXTPPropExchange::PX_Int(const wchar_t* lpszName, int& value)
{
    if (m_pRoot->bLoading)
        return m_pRoot->ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
    return m_pRoot->WriteNumber(m_nSerial, m_nDepth, m_nCompactMode, lpszName, value);
}

CXTPPropExchangeEnumerator::CXTPPropExchangeEnumerator(CXTPPropExchange* pSection,
                                                       const wchar_t* lpszName)
    : m_pSection(pSection), m_szName(), m_pszName(m_szName)
{
    // Names are ASCII in practice: copied as they are, converted otherwise.
    size_t n = 0;
    while (lpszName != nullptr && lpszName[n] != 0 && ZkText::IsAscii(lpszName[n]) &&
           n + 1 < sizeof m_szName)
        ++n;
    if (lpszName == nullptr || lpszName[n] == 0) {
        for (size_t i = 0; i < n; ++i)
            m_szName[i] = static_cast<char>(lpszName[i]);
        m_szName[n] = 0;
        return;
    }
    const std::string name = ZkText::NameToUtf8(lpszName);
    if (name.size() >= sizeof m_szName)
        m_pszName = new char[name.size() + 1];
    std::memcpy(m_pszName, name.c_str(), name.size() + 1);
}

CXTPPropExchangeEnumerator::CXTPPropExchangeEnumerator(CXTPPropExchangeEnumerator&& other) noexcept
    : m_pSection(other.m_pSection), m_szName(), m_pszName(m_szName)
{
    if (other.m_pszName != other.m_szName) {
        m_pszName = other.m_pszName;
        other.m_pszName = other.m_szName;
    } else {
        std::memcpy(m_szName, other.m_szName, sizeof m_szName);
    }
}

CXTPPropExchangeEnumerator::~CXTPPropExchangeEnumerator()
{
    if (m_pszName != m_szName)
        delete[] m_pszName;
}

POSITION CXTPPropExchangeEnumerator::GetPosition(unsigned long /*dwCount*/, int /*bCompactMode*/)
{
    if (!m_pSection->m_pRoot->bLoading)
        return reinterpret_cast<POSITION>(this);  // any non-null value: writing never tests it
    return reinterpret_cast<POSITION>(Node(m_pSection->m_pNode).child(m_pszName).internal_object());
}

CXTPPropExchange CXTPPropExchangeEnumerator::GetNext(POSITION& pos)
{
    CXTPPropExchange& parent = *m_pSection;
    if (!parent.m_pRoot->bLoading) {
        const unsigned long nChild = parent.m_pRoot->writer.OpenChild(
            parent.m_nSerial, parent.m_nDepth, m_pszName, std::strlen(m_pszName));
        return CXTPPropExchange(parent.m_pRoot, nullptr, nChild, parent.m_nDepth + 1,
                                parent.m_nCompactMode);
    }
    const pugi::xml_node item(reinterpret_cast<pugi::xml_node_struct*>(pos));
    pos =
        item ? reinterpret_cast<POSITION>(item.next_sibling(m_pszName).internal_object()) : nullptr;
    return CXTPPropExchange(parent.m_pRoot, item.internal_object(), 0, 0, parent.m_nCompactMode);
}

void ZkExchangeAccess::SetCapture(CXTPPropExchange& root, ZkDiag::Capture* pCapture)
{
    root.m_pRoot->pCapture = pCapture;
    if (!root.m_pRoot->bLoading)
        root.m_pRoot->writer.SetCapture(pCapture);
}

void ZkExchangeAccess::StreamTo(CXTPPropExchange& root, const wchar_t* path)
{
    if (!root.m_pRoot->bLoading && root.m_bOwnsRoot)
        root.m_pRoot->writer.StreamTo(path);
}

int ZkExchangeAccess::PX_U3Value(CXTPPropExchange* pPX, const wchar_t* pszName, stu3Value& value)
{
    CXTPPropExchange::Root& root = *pPX->m_pRoot;
    if (root.bLoading) {
        const char* text = root.Find(pPX->m_pNode, pPX->m_pNextAttribute, pszName);
        if (text == nullptr)
            return 0;
        if (!ParseU3(text, std::strlen(text), value))
            root.BadValue(Node(pPX->m_pNode), pszName, text, ZkDiag::ValueType::kThreeNumbers);
        return 1;
    }
    char buf[128];
    const char* end = ZkNumber::ThreeNumberText(buf, buf + sizeof buf, value);
    return root.writer.PropertyAscii(pPX->m_nSerial, pPX->m_nDepth, pPX->m_nCompactMode == 1,
                                     pszName, buf, static_cast<size_t>(end - buf))
               ? 1
               : 0;
}

size_t ZkExchangeAccess::CountItems(const CXTPPropExchangeEnumerator& items)
{
    const CXTPPropExchange& section = *items.m_pSection;
    if (!section.m_pRoot->bLoading)
        return 0;
    size_t n = 0;
    for (pugi::xml_node c = Node(section.m_pNode).child(items.m_pszName); c;
         c = c.next_sibling(items.m_pszName))
        ++n;
    return n;
}
