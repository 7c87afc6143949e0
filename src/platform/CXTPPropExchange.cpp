#include "platform/CXTPPropExchange.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "platform/internal/exchange/ExchangeAccess.h"
#include "platform/internal/exchange/ExchangeReader.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/text/Number.h"
#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlDocument.h"
#include "platform/internal/xml/XmlWriter.h"

// The library's own way into a CString's storage, for values read in place.
struct ZkCStringAccess {
    static std::wstring& Units(CString& s) { return s.m_str; }
};

namespace {

using ZkExchangeRead::AsElement;
using ZkExchangeRead::Element;

// A real as the shortest text that reads back to the same bits.
size_t NumberText(char* buf, size_t size, double value)
{
    return static_cast<size_t>(ZkNumber::ShortestText(buf, buf + size, value) - buf);
}

size_t NumberText(char* buf, size_t size, int value)
{
    return static_cast<size_t>(std::to_chars(buf, buf + size, value).ptr - buf);
}

}  // namespace

struct CXTPPropExchange::Root {
    bool bLoading = false;
    std::string strRootName;  // UTF-8
    ZkDiag::Capture* pCapture = nullptr;

    ZkExchangeRead::Reader reader;  // reading

    // Writing: the document in memory, written out by SaveToFile; or, once
    // the library's own save asks for it, streamed to its file, which takes
    // only document order (bStream). A call the stream cannot take makes the
    // save fail (bStreamBroken).
    std::unique_ptr<ZkXmlWriter::Document> pDocument;
    ZkXmlWriter::Writer writer;
    bool bStream = false;
    bool bStreamBroken = false;

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
    root.reader.Clear();
    m_pNode = nullptr;
    ZkFileSystem::Bytes raw;
    ZkFileSystem::FileError error;
    if (!ZkFileSystem::ReadWholeFile(lpszPath, raw, &error)) {
        if (root.pCapture != nullptr)
            root.pCapture->FailFile(error);
        return 0;
    }
    root.reader.fileBytes.assign(raw.begin(), raw.end());
    return ZkExchangeAccess::LoadFromBytes(*this, std::move(raw), &root.reader.fileBytes);
}

int ZkExchangeAccess::LoadFromBytes(CXTPPropExchange& px, ZkFileSystem::Bytes&& raw,
                                    const ZkFileSystem::Bytes* pFileBytes)
{
    CXTPPropExchange::Root& root = *px.m_pRoot;
    if (!root.bLoading || !px.m_bOwnsRoot)
        return 0;
    px.m_pNode = nullptr;
    if (!root.reader.Load(std::move(raw), pFileBytes))
        return 0;
    px.m_pNode = const_cast<Element*>(root.reader.Root());
    return 1;
}

int CXTPPropExchange::IsRootSectionPresent() const
{
    const Element* root = m_pRoot->reader.Root();
    if (root != nullptr && ZkExchangeRead::NameIs(*root, m_pRoot->strRootName.c_str()))
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
        const Element* child = m_pRoot->reader.NamedChild(AsElement(m_pNode), lpszSection, true);
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
        const char* text = m_pRoot->reader.Find(m_pNode, m_pNextAttribute, lpszName, n);
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
        return m_pRoot->reader.ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
    return m_pRoot->WriteNumber(*this, lpszName, value);
}

int CXTPPropExchange::PX_Int(const wchar_t* lpszName, int& value)
{
    if (m_pRoot->bLoading)
        return m_pRoot->reader.ReadNumber(m_pNode, m_pNextAttribute, lpszName, value);
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
        m_pSection->m_pRoot->reader.NamedChild(AsElement(m_pSection->m_pNode), m_pszName, true)));
}

CXTPPropExchange CXTPPropExchangeEnumerator::GetNext(POSITION& pos)
{
    CXTPPropExchange& parent = *m_pSection;
    if (!parent.m_pRoot->bLoading)
        return parent.m_pRoot->Child(parent, m_pszName, true);
    auto* item = reinterpret_cast<Element*>(pos);
    pos = reinterpret_cast<POSITION>(
        const_cast<Element*>(parent.m_pRoot->reader.NamedChild(item, m_pszName, false)));
    return CXTPPropExchange(parent.m_pRoot, item, 0, 0, parent.m_nCompactMode);
}

void ZkExchangeAccess::SetCapture(CXTPPropExchange& root, ZkDiag::Capture* pCapture)
{
    root.m_pRoot->pCapture = pCapture;
    root.m_pRoot->reader.pCapture = pCapture;
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
    if (root.bLoading)
        return root.reader.ReadThreeNumbers(pPX->m_pNode, pPX->m_pNextAttribute, pszName, value);
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
    for (const Element* c =
             root.reader.NamedChild(AsElement(section.m_pNode), items.m_pszName, true);
         c != nullptr; c = root.reader.NamedChild(c, items.m_pszName, false))
        ++n;
    return n;
}
