#include "platform/CXTPPropExchange.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include <pugixml.hpp>

#include "platform/internal/FileSystem.h"
#include "platform/internal/Number.h"
#include "platform/internal/ReportSink.h"
#include "platform/internal/Text.h"

namespace {

std::string ToUtf8(const wchar_t* psz)
{
    const CString units(psz);
    return ZkText::Utf16ToUtf8(units.GetString(), static_cast<size_t>(units.GetLength()));
}

CString FromUtf8(const char* psz)
{
    const std::wstring units = ZkText::Utf8ToUtf16(psz, std::strlen(psz));
    // Units already are UTF-16; build the CString without re-splitting them.
    return CString(units.c_str(), static_cast<int>(units.size()));
}

// A real as the shortest text that reads back to the same bits.
std::string NumberToText(double d)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

std::string NumberToText(int n)
{
    return std::to_string(n);
}

// pugixml accepts more than one top-level element. Such a file is not
// well-formed, and reading only its first root would lose the others at the
// next save.
bool HasSingleRoot(const pugi::xml_document& doc)
{
    int nElements = 0;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element)
            ++nElements;
    return nElements == 1;
}

// Explains HasSingleRoot's refusal: where the second top-level element starts
// (or that there is none).
void ReportSecondRoot(const pugi::xml_document& doc, bool bFileOffsets)
{
    pugi::xml_node second;
    int nElements = 0;
    for (pugi::xml_node n = doc.first_child(); n && !second; n = n.next_sibling())
        if (n.type() == pugi::node_element && ++nElements == 2)
            second = n;
    ZkReportSink::Where where;
    if (second && bFileOffsets)
        where.nOffset = second.offset_debug();
    ZkReportSink::Malformed(second ? "more than one root element" : "no root element", where);
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override
    {
        m_out.append(static_cast<const char*>(data), size);
    }
    std::string m_out;
};

}  // namespace

struct CXTPPropExchange::Impl {
    std::shared_ptr<pugi::xml_document> doc;  // shared by the root and every child
    pugi::xml_node node;                      // null while reading an absent section
    std::string rootName;
    bool loading = false;
    int compactMode = 0;
    // Read from UTF-8 as it is, so that offsets in the document are the file's.
    bool fileOffsets = false;

    // Where the property's name stands in the file; -1 when not known.
    ptrdiff_t OffsetOf(const char* name) const
    {
        if (!fileOffsets || !node)
            return -1;
        if (pugi::xml_attribute a = node.attribute(name)) {
            // Attribute names lie in the parsed copy of the file, at the
            // file's offsets; the node's own name tells where the copy starts.
            const ptrdiff_t nNode = node.offset_debug();
            if (nNode < 0)
                return -1;
            const uintptr_t start =
                reinterpret_cast<uintptr_t>(node.name()) - static_cast<uintptr_t>(nNode);
            return static_cast<ptrdiff_t>(reinterpret_cast<uintptr_t>(a.name()) - start);
        }
        if (pugi::xml_node c = node.child(name))
            return c.offset_debug();
        return -1;
    }

    // The text of a property while reading; null when absent.
    const char* FindValue(const char* name) const
    {
        if (!node)
            return nullptr;
        if (pugi::xml_attribute a = node.attribute(name))
            return a.value();
        if (pugi::xml_node c = node.child(name))
            return c.text().get();
        return nullptr;
    }

    void StoreValue(const char* name, const char* value)
    {
        if (compactMode == 1) {
            pugi::xml_attribute a = node.attribute(name);
            if (!a)
                a = node.append_attribute(name);
            a.set_value(value);
        } else {
            pugi::xml_node c = node.child(name);
            if (!c)
                c = node.append_child(name);
            c.text().set(value);
        }
    }

    // A number property: read through the whole-text parse, written as text.
    template <typename T>
    int ExchangeNumber(const wchar_t* lpszName, T& value)
    {
        const std::string name = ToUtf8(lpszName);
        if (loading) {
            const char* text = FindValue(name.c_str());
            if (text == nullptr)
                return 0;
            const size_t nText = std::strlen(text);
            if (ZkNumber::ParseWhole(text, nText, ZkNumber::kPropertyValue, value))
                return 1;
            ZkReportSink::Where where;
            where.nOffset = OffsetOf(name.c_str());
            ZkReportSink::ValueNotRead(
                where, node.name(), name.c_str(), text, nText,
                std::is_same<T, int>::value ? "an integer" : "a real number");
            return 0;
        }
        if (!node)
            return 0;
        StoreValue(name.c_str(), NumberToText(value).c_str());
        return 1;
    }

    std::unique_ptr<CXTPPropExchange> Child(pugi::xml_node n) const
    {
        auto* impl = new Impl;
        impl->doc = doc;
        impl->node = n;
        impl->loading = loading;
        impl->compactMode = compactMode;
        impl->fileOffsets = fileOffsets;
        return std::unique_ptr<CXTPPropExchange>(new CXTPPropExchange(impl));
    }
};

struct CXTPPropExchangeEnumerator::Impl {
    const CXTPPropExchange::Impl* parent = nullptr;  // the exchange outlives its enumerator
    std::string name;
};

CXTPPropExchange::CXTPPropExchange(int bLoading, const CXTPPropExchange* /*pParent*/,
                                   const wchar_t* lpszSection)
    : m_pImpl(new Impl)
{
    m_pImpl->doc = std::make_shared<pugi::xml_document>();
    m_pImpl->rootName = ToUtf8(lpszSection);
    m_pImpl->loading = bLoading != 0;
    if (!m_pImpl->loading)
        m_pImpl->node = m_pImpl->doc->append_child(m_pImpl->rootName.c_str());
}

CXTPPropExchange::CXTPPropExchange(Impl* pImpl) : m_pImpl(pImpl) {}

CXTPPropExchange::~CXTPPropExchange()
{
    delete m_pImpl;
}

int CXTPPropExchange::LoadFromFile(const wchar_t* lpszPath)
{
    if (!m_pImpl->loading || lpszPath == nullptr)
        return 0;
    std::string bytes;
    ZkFileSystem::FileError error;
    if (!ZkFileSystem::ReadWholeFile(lpszPath, bytes, &error)) {
        ZkReportSink::FileFailed(error, lpszPath);
        return 0;
    }
    m_pImpl->doc->reset();
    m_pImpl->node = pugi::xml_node();
    // No DOCTYPE processing: entities are never declared, fetched or expanded.
    // Line ends are kept and a value made only of spaces survives, so text
    // held in elements reads back as it was written.
    const unsigned options =
        (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result r =
        m_pImpl->doc->load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_auto);
    const bool bUtf8 = r.encoding == pugi::encoding_utf8;
    if (!r || !HasSingleRoot(*m_pImpl->doc)) {
        if (!r && bUtf8)
            ZkReportSink::Malformed(r.description(), bytes.data(), bytes.size(),
                                    static_cast<size_t>(r.offset));
        else if (!r)
            ZkReportSink::Malformed(r.description(), ZkReportSink::Where());
        else
            ReportSecondRoot(*m_pImpl->doc, bUtf8);
        m_pImpl->doc->reset();
        return 0;
    }
    m_pImpl->node = m_pImpl->doc->document_element();
    m_pImpl->fileOffsets = bUtf8;
    return 1;
}

int CXTPPropExchange::IsRootSectionPresent() const
{
    const pugi::xml_node root = m_pImpl->doc->document_element();
    if (root && m_pImpl->rootName == root.name())
        return 1;
    if (root)
        ZkReportSink::WrongRoot(root.name(), m_pImpl->rootName.c_str());
    return 0;
}

int CXTPPropExchange::SaveToFile(const wchar_t* lpszPath, int bFormatted)
{
    if (m_pImpl->loading || lpszPath == nullptr)
        return 1;
    StringWriter writer;
    const unsigned flags = bFormatted ? pugi::format_default : pugi::format_raw;
    m_pImpl->doc->save(writer, "  ", flags, pugi::encoding_utf8);
    ZkFileSystem::FileError error;
    if (ZkFileSystem::WriteFileAtomic(lpszPath, writer.m_out, &error))
        return 0;
    ZkReportSink::FileFailed(error, lpszPath);
    return 1;
}

void CXTPPropExchange::SetCompactMode(int nMode)
{
    m_pImpl->compactMode = nMode;
}

int CXTPPropExchange::IsLoading() const
{
    return m_pImpl->loading ? 1 : 0;
}

std::unique_ptr<CXTPPropExchange> CXTPPropExchange::GetSection(const wchar_t* lpszSection)
{
    const std::string name = ToUtf8(lpszSection);
    pugi::xml_node child;
    if (m_pImpl->node) {
        child = m_pImpl->node.child(name.c_str());
        if (!child && !m_pImpl->loading)
            child = m_pImpl->node.append_child(name.c_str());
    }
    return m_pImpl->Child(child);
}

std::unique_ptr<CXTPPropExchangeEnumerator> CXTPPropExchange::GetEnumerator(
    const wchar_t* lpszSection)
{
    auto* impl = new CXTPPropExchangeEnumerator::Impl;
    impl->parent = m_pImpl;
    impl->name = ToUtf8(lpszSection);
    return std::unique_ptr<CXTPPropExchangeEnumerator>(new CXTPPropExchangeEnumerator(impl));
}

void CXTPPropExchange::EmptySection()
{
    if (m_pImpl->loading || !m_pImpl->node)
        return;
    while (pugi::xml_attribute a = m_pImpl->node.first_attribute())
        m_pImpl->node.remove_attribute(a);
    while (pugi::xml_node c = m_pImpl->node.first_child())
        m_pImpl->node.remove_child(c);
}

int CXTPPropExchange::AfterItem(const CXTPPropExchange* pItem) const
{
    return pItem != nullptr && m_pImpl->node && pItem->m_pImpl->node.parent() == m_pImpl->node ? 1
                                                                                               : 0;
}

int CXTPPropExchange::PX_String(const wchar_t* lpszName, CString& value)
{
    const std::string name = ToUtf8(lpszName);
    if (m_pImpl->loading) {
        const char* text = m_pImpl->FindValue(name.c_str());
        if (text == nullptr)
            return 0;
        value = FromUtf8(text);
        return 1;
    }
    if (!m_pImpl->node)
        return 0;
    m_pImpl->StoreValue(
        name.c_str(),
        ZkText::Utf16ToUtf8(value.GetString(), static_cast<size_t>(value.GetLength())).c_str());
    return 1;
}

int CXTPPropExchange::PX_Double(const wchar_t* lpszName, double& value)
{
    return m_pImpl->ExchangeNumber(lpszName, value);
}

int CXTPPropExchange::PX_Int(const wchar_t* lpszName, int& value)
{
    return m_pImpl->ExchangeNumber(lpszName, value);
}

CXTPPropExchangeEnumerator::CXTPPropExchangeEnumerator(Impl* pImpl) : m_pImpl(pImpl) {}

CXTPPropExchangeEnumerator::~CXTPPropExchangeEnumerator()
{
    delete m_pImpl;
}

POSITION CXTPPropExchangeEnumerator::GetPosition(unsigned long /*dwCount*/, int /*bCompactMode*/)
{
    const CXTPPropExchange::Impl* parent = m_pImpl->parent;
    if (!parent->loading)
        return reinterpret_cast<POSITION>(m_pImpl);  // any non-null value: writing never tests it
    if (!parent->node)
        return nullptr;
    return reinterpret_cast<POSITION>(parent->node.child(m_pImpl->name.c_str()).internal_object());
}

std::unique_ptr<CXTPPropExchange> CXTPPropExchangeEnumerator::GetNext(POSITION& pos)
{
    const CXTPPropExchange::Impl* parent = m_pImpl->parent;
    if (!parent->loading) {
        pugi::xml_node item;
        if (parent->node)
            item = const_cast<pugi::xml_node&>(parent->node).append_child(m_pImpl->name.c_str());
        return parent->Child(item);
    }
    const pugi::xml_node item(reinterpret_cast<pugi::xml_node_struct*>(pos));
    pos =
        item
            ? reinterpret_cast<POSITION>(item.next_sibling(m_pImpl->name.c_str()).internal_object())
            : nullptr;
    return parent->Child(item);
}
