#include "platform/CXTPPropExchange.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/internal/exchange/ExchangeAccess.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/text/Number.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDecoder.h"
#include "platform/internal/xml/XmlDocument.h"
#include "platform/internal/xml/XmlReader.h"
#include "platform/internal/xml/XmlWriter.h"

// The library's own way into a CString's storage, for values read in place.
struct ZkCStringAccess {
    static std::wstring& Units(CString& s) { return s.m_str; }
};

namespace {

using ZkXmlReader::Attribute;
using ZkXmlReader::Element;

// A property or section name (ASCII in practice) against the n bytes of
// UTF-8 at utf8 in the document, compared in place.
bool NameIs(const char* utf8, size_t n, const wchar_t* name)
{
    size_t i = 0;
    // ASCII alike unit by byte, then either the end or the first difference.
    while (i < n && static_cast<unsigned char>(utf8[i]) < 0x80 &&
           static_cast<std::make_unsigned_t<wchar_t>>(name[i]) ==
               static_cast<unsigned char>(utf8[i]))
        ++i;
    if (i == n)
        return name[n] == 0;
    // An ASCII unit there differs from its byte; a character beyond ASCII
    // is compared in UTF-8.
    return !ZkText::IsAscii(name[i]) && ZkText::NameToUtf8(name) == std::string(utf8, n);
}

bool NameIs(const Element& e, const wchar_t* name)
{
    return NameIs(e.name, e.nNameSize, name);
}

bool NameIs(const Element& e, const char* name)
{
    return e.nNameSize == std::strlen(name) && std::memcmp(e.name, name, e.nNameSize) == 0;
}

const Element* AsElement(const void* p)
{
    return static_cast<const Element*>(p);
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
    ZkXmlDecoder::DecodedText text;
    ZkXmlReader::Tree tree;
    // The file's bytes as read, unchanged, where warnings find their lines:
    // the text was parsed in place. The loader's (pFileBytes), or kept here
    // by LoadFromFile (fileBytes); null: warnings get no line.
    const ZkFileSystem::Bytes* pFileBytes = nullptr;
    ZkFileSystem::Bytes fileBytes;
    // Warnings waiting for their place, by offset into the text.
    std::vector<std::pair<size_t, size_t>> pending;  // warning index, offset
    bool bErrorPending = false;
    size_t nErrorOffset = 0;

    // Writing: the document in memory, written out by SaveToFile; or, once
    // the library's own save asks for it, streamed to its file, which takes
    // only document order (bStream). A call the stream cannot take makes the
    // save fail (bStreamBroken).
    std::unique_ptr<ZkXmlWriter::Document> pDocument;
    ZkXmlWriter::Writer writer;
    bool bStream = false;
    bool bStreamBroken = false;

    ~Root() { PlacePending(); }

    // A section's number in the document, from the exchange's serial.
    static size_t Section(unsigned long nSerial)
    {
        return nSerial != 0 ? static_cast<size_t>(nSerial - 1) : ZkXmlWriter::Document::kNone;
    }
    static unsigned long Serial(size_t nSection)
    {
        return nSection != ZkXmlWriter::Document::kNone ? static_cast<unsigned long>(nSection + 1)
                                                        : 0;
    }

    // 1 when the stream took the call; a call it did not take breaks it.
    int Streamed(bool bTaken)
    {
        if (!bTaken)
            bStreamBroken = true;
        return bTaken ? 1 : 0;
    }

    void PlacePending()
    {
        if (pCapture == nullptr || pFileBytes == nullptr || (pending.empty() && !bErrorPending))
            return;
        // Decoded again from memory, only when there is something to place.
        ZkXmlDecoder::DecodedText again;
        if (!ZkXmlDecoder::Decode(ZkFileSystem::Bytes(pFileBytes->begin(), pFileBytes->end()),
                                  again, nullptr))
            return;
        std::sort(pending.begin(), pending.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        ZkLineCounter lines(again.Data(), again.Size());
        for (const auto& p : pending)
            if (p.first < pCapture->warnings.size())
                pCapture->warnings[p.first].at = lines.At(p.second);
        if (bErrorPending)
            pCapture->at = ZkLineCounter(again.Data(), again.Size()).At(nErrorOffset);
        pending.clear();
        bErrorPending = false;
    }

    void BadValue(const void* pNode, const wchar_t* pszName, const char* value, size_t n,
                  ZkDiag::ValueType type)
    {
        if (pCapture == nullptr)
            return;
        const Element& e = *AsElement(pNode);
        ZkDiag::Warning w;
        w.kind = ZkDiag::WarningKind::kBadValue;
        w.valueType = type;
        w.strSection = ZkDiag::WideFromUtf8(std::string(e.name, e.nNameSize));
        w.strProperty = pszName;
        w.strText = ZkDiag::WideFromUtf8(std::string(value, n));
        const size_t offset = text.OffsetOf(value);
        if (pCapture->Add(std::move(w)) && offset != static_cast<size_t>(-1))
            pending.emplace_back(pCapture->warnings.size() - 1, offset);
    }

    bool Parse(ZkXmlDecoder::DecodedText& t)
    {
        if (ZkXmlReader::ReadSimpleMarkup(t, tree))
            return true;
        ZkXmlReader::Failure failure;
        if (ZkXmlReader::ReadWithPugixml(t, pCapture, tree, failure))
            return true;
        if (failure.pszReason != nullptr)
            return ParseFailed(failure.pszReason, failure.nOffset);
        return false;  // the checks said why
    }

    bool ParseFailed(const char* reason, size_t offset)
    {
        if (pCapture != nullptr) {
            pCapture->Fail(ZkOutcome::kMalformed, reason);
            bErrorPending = offset != static_cast<size_t>(-1);
            nErrorOffset = offset;
            PlacePending();
        }
        tree.Clear();
        return false;
    }

    // The text of a property of the element pNode, and its size: an
    // attribute, looked for from *pNext to the end (records mostly ask for
    // the one after the last read), then from the first up to *pNext; or the
    // text of a child element. Null when absent.
    const char* Find(const void* pNode, void*& pNext, const wchar_t* pszName, size_t& n) const
    {
        if (pNode == nullptr)
            return nullptr;
        const Element& e = *AsElement(pNode);
        const Attribute* const first = tree.Attributes(e);
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
        const Element* c = bChild ? tree.FirstChild(*e) : tree.NextSibling(*e);
        while (c != nullptr && !NameIs(*c, name))
            c = tree.NextSibling(*c);
        return c;
    }

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

    // A property of the writing exchange px; 1 when stored. The library's
    // records stream attributes only.
    int WriteText(const CXTPPropExchange& px, const wchar_t* pszName, const wchar_t* text, size_t n)
    {
        if (bStream)
            return Streamed(px.m_nCompactMode == 1 &&
                            writer.Property(px.m_nSerial, px.m_nDepth, true, pszName, text, n));
        return pDocument->Property(Section(px.m_nSerial), px.m_nCompactMode == 1, pszName, text, n)
                   ? 1
                   : 0;
    }

    int WriteAscii(const CXTPPropExchange& px, const wchar_t* pszName, const char* ascii, size_t n)
    {
        if (bStream)
            return Streamed(
                px.m_nCompactMode == 1 &&
                writer.PropertyAscii(px.m_nSerial, px.m_nDepth, true, pszName, ascii, n));
        return pDocument->PropertyAscii(Section(px.m_nSerial), px.m_nCompactMode == 1, pszName,
                                        ascii, n)
                   ? 1
                   : 0;
    }

    template <typename T>
    int WriteNumber(const CXTPPropExchange& px, const wchar_t* pszName, T value)
    {
        char buf[64];
        return WriteAscii(px, pszName, buf, NumberText(buf, sizeof buf, value));
    }

    // A child section of the writing exchange px: the first of that name, or
    // a new one when bNew.
    CXTPPropExchange Child(const CXTPPropExchange& px, const char* name, bool bNew)
    {
        const size_t len = std::strlen(name);
        const unsigned long nChild =
            bStream ? writer.OpenChild(px.m_nSerial, px.m_nDepth, name, len, !bNew)
                    : Serial(pDocument->Child(Section(px.m_nSerial), name, len, bNew));
        if (bStream)
            Streamed(nChild != 0);
        return CXTPPropExchange(this, nullptr, nChild, px.m_nDepth + 1, px.m_nCompactMode);
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
        m_pRoot->pDocument.reset(new ZkXmlWriter::Document(m_pRoot->strRootName));
        m_nSerial = Root::Serial(0);
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
    root.tree.Clear();
    m_pNode = nullptr;
    ZkFileSystem::Bytes raw;
    ZkFileSystem::FileError error;
    if (!ZkFileSystem::ReadWholeFile(lpszPath, raw, &error)) {
        if (root.pCapture != nullptr)
            root.pCapture->FailFile(error);
        return 0;
    }
    root.fileBytes.assign(raw.begin(), raw.end());
    return ZkExchangeAccess::LoadFromBytes(*this, std::move(raw), &root.fileBytes);
}

int ZkExchangeAccess::LoadFromBytes(CXTPPropExchange& px, ZkFileSystem::Bytes&& raw,
                                    const ZkFileSystem::Bytes* pFileBytes)
{
    CXTPPropExchange::Root& root = *px.m_pRoot;
    if (!root.bLoading || !px.m_bOwnsRoot)
        return 0;
    root.tree.Clear();
    px.m_pNode = nullptr;
    root.pFileBytes = pFileBytes;
    if (!ZkXmlDecoder::Decode(std::move(raw), root.text, root.pCapture) || !root.Parse(root.text))
        return 0;
    px.m_pNode = const_cast<Element*>(root.tree.Root());
    if (root.pCapture != nullptr && root.pCapture->outcome == ZkOutcome::kNone)
        root.pCapture->outcome = ZkOutcome::kDone;
    return 1;
}

int CXTPPropExchange::IsRootSectionPresent() const
{
    const Element* root = m_pRoot->tree.Root();
    if (root != nullptr && NameIs(*root, m_pRoot->strRootName.c_str()))
        return 1;
    if (root != nullptr && m_pRoot->pCapture != nullptr) {
        const std::string name(root->name, root->nNameSize);
        m_pRoot->pCapture->Fail(
            ZkOutcome::kWrongRoot,
            "the root element is \"" + name + "\", not \"" + m_pRoot->strRootName + "\"");
        m_pRoot->pCapture->strName = ZkDiag::WideFromUtf8(name);
    }
    return 0;
}

int CXTPPropExchange::SaveToFile(const wchar_t* lpszPath, int /*bFormatted*/)
{
    Root& root = *m_pRoot;
    if (root.bLoading || !m_bOwnsRoot || lpszPath == nullptr)
        return 1;
    if (!root.bStream)
        return root.pDocument->Save(lpszPath, root.pCapture) ? 0 : 1;
    if (root.bStreamBroken) {
        // The file is left as it was: what is streamed goes to a new one.
        if (root.pCapture != nullptr)
            root.pCapture->Fail(ZkOutcome::kSystemError,
                                std::string("a section or property was written out of order"));
        return 1;
    }
    return root.writer.Save(lpszPath) ? 0 : 1;
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
        const Element* child = m_pRoot->NamedChild(AsElement(m_pNode), lpszSection, true);
        return CXTPPropExchange(m_pRoot, const_cast<Element*>(child), 0, 0, m_nCompactMode);
    }
    const CXTPPropExchangeEnumerator name(this, lpszSection);
    return m_pRoot->Child(*this, name.m_pszName, false);
}

CXTPPropExchangeEnumerator CXTPPropExchange::GetEnumerator(const wchar_t* lpszSection)
{
    return CXTPPropExchangeEnumerator(this, lpszSection);
}

void CXTPPropExchange::EmptySection()
{
    Root& root = *m_pRoot;
    if (root.bLoading)
        return;
    if (!root.bStream)
        root.pDocument->Empty(Root::Section(m_nSerial));
    else
        root.Streamed(root.writer.IsEmpty(m_nSerial, m_nDepth));  // nothing to take back
}

int CXTPPropExchange::AfterItem(const CXTPPropExchange* pItem) const
{
    const Root& root = *m_pRoot;
    if (pItem == nullptr || root.bLoading || pItem->m_pRoot != m_pRoot || pItem->m_nSerial == 0)
        return 0;
    if (root.bStream)
        return pItem->m_nDepth == m_nDepth + 1 && pItem->m_nSerial > m_nSerial &&
                       root.writer.IsOpen(m_nSerial, m_nDepth)
                   ? 1
                   : 0;
    const size_t nItem = Root::Section(pItem->m_nSerial);
    return root.pDocument->IsLive(nItem) &&
                   root.pDocument->Parent(nItem) == Root::Section(m_nSerial)
               ? 1
               : 0;
}

int CXTPPropExchange::PX_String(const wchar_t* lpszName, CString& value)
{
    if (m_pRoot->bLoading) {
        size_t n = 0;
        const char* text = m_pRoot->Find(m_pNode, m_pNextAttribute, lpszName, n);
        if (text == nullptr)
            return 0;
        ZkText::AssignUtf8(ZkCStringAccess::Units(value), text, n);
        return 1;
    }
    return m_pRoot->WriteText(*this, lpszName, value.GetString(),
                              static_cast<size_t>(value.GetLength()));
}

int CXTPPropExchange::PX_Double(const wchar_t* lpszName, double& value)
{
    if (m_pRoot->bLoading)
        return m_pRoot->ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
    return m_pRoot->WriteNumber(*this, lpszName, value);
}

int CXTPPropExchange::PX_Int(const wchar_t* lpszName, int& value)
{
    if (m_pRoot->bLoading)
        return m_pRoot->ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
    return m_pRoot->WriteNumber(*this, lpszName, value);
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
    return reinterpret_cast<POSITION>(const_cast<Element*>(
        m_pSection->m_pRoot->NamedChild(AsElement(m_pSection->m_pNode), m_pszName, true)));
}

CXTPPropExchange CXTPPropExchangeEnumerator::GetNext(POSITION& pos)
{
    CXTPPropExchange& parent = *m_pSection;
    if (!parent.m_pRoot->bLoading)
        return parent.m_pRoot->Child(parent, m_pszName, true);
    auto* item = reinterpret_cast<Element*>(pos);
    pos = reinterpret_cast<POSITION>(
        const_cast<Element*>(parent.m_pRoot->NamedChild(item, m_pszName, false)));
    return CXTPPropExchange(parent.m_pRoot, item, 0, 0, parent.m_nCompactMode);
}

void ZkExchangeAccess::SetCapture(CXTPPropExchange& root, ZkDiag::Capture* pCapture)
{
    root.m_pRoot->pCapture = pCapture;
    if (!root.m_pRoot->bLoading)
        root.m_pRoot->writer.SetCapture(pCapture);
}

void ZkExchangeAccess::StreamTo(CXTPPropExchange& root, const wchar_t* path,
                                const ZkFileSystem::WriteOptions& options)
{
    CXTPPropExchange::Root& r = *root.m_pRoot;
    if (r.bLoading || !root.m_bOwnsRoot || r.bStream || !r.pDocument->IsEmpty())
        return;
    r.bStream = true;
    r.pDocument.reset();
    r.writer.Start(r.strRootName, r.pCapture);
    r.writer.StreamTo(path, options);
}

int ZkExchangeAccess::PX_U3Value(CXTPPropExchange* pPX, const wchar_t* pszName, stu3Value& value)
{
    CXTPPropExchange::Root& root = *pPX->m_pRoot;
    if (root.bLoading) {
        size_t n = 0;
        const char* text = root.Find(pPX->m_pNode, pPX->m_pNextAttribute, pszName, n);
        if (text == nullptr)
            return 0;
        if (!ParseU3(text, n, value))
            root.BadValue(pPX->m_pNode, pszName, text, n, ZkDiag::ValueType::kThreeNumbers);
        return 1;
    }
    char buf[128];
    const char* end = ZkNumber::ThreeNumberText(buf, buf + sizeof buf, value);
    return root.WriteAscii(*pPX, pszName, buf, static_cast<size_t>(end - buf));
}

size_t ZkExchangeAccess::CountItems(const CXTPPropExchangeEnumerator& items)
{
    const CXTPPropExchange& section = *items.m_pSection;
    if (!section.m_pRoot->bLoading)
        return 0;
    size_t n = 0;
    const CXTPPropExchange::Root& root = *section.m_pRoot;
    for (const Element* c = root.NamedChild(AsElement(section.m_pNode), items.m_pszName, true);
         c != nullptr; c = root.NamedChild(c, items.m_pszName, false))
        ++n;
    return n;
}
