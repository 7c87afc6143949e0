#include "platform/internal/xml/XmlDocument.h"

#include <cstring>
#include <utility>

#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlWriter.h"

namespace ZkXmlWriter {

namespace {

// A property's name as the writer puts it out: two names are the same
// property when they are written the same.
std::string NameKey(const wchar_t* pszName)
{
    std::string key;
    for (const wchar_t* p = pszName; *p != 0; ++p) {
        if (!ZkText::IsAscii(*p))
            return ZkText::NameToUtf8(pszName);
        key += static_cast<char>(*p);
    }
    return key;
}

}  // namespace

Document::Document(std::string rootName)
{
    m_sections.emplace_back();
    m_sections[0].name = std::move(rootName);
}

bool Document::IsEmpty() const
{
    return m_sections[0].properties.empty() && m_sections[0].content.empty();
}

bool Document::IsLive(size_t nSection) const
{
    return nSection < m_sections.size() && m_sections[nSection].bLive;
}

size_t Document::Parent(size_t nSection) const
{
    return nSection < m_sections.size() ? m_sections[nSection].nParent : kNone;
}

size_t Document::Child(size_t nSection, const char* name, size_t len, bool bNew)
{
    if (!IsLive(nSection))
        return kNone;
    if (!bNew) {
        for (const Entry& e : m_sections[nSection].content) {
            const std::string& child = m_sections[e.nIndex].name;
            if (!e.bProperty && child.size() == len && std::memcmp(child.data(), name, len) == 0)
                return e.nIndex;
        }
    }
    const size_t nChild = m_sections.size();
    m_sections.emplace_back();
    m_sections[nChild].name.assign(name, len);
    m_sections[nChild].nParent = nSection;
    m_sections[nSection].content.push_back({nChild, false});
    return nChild;
}

Document::Prop* Document::Place(size_t nSection, bool bAttribute, const wchar_t* pszName,
                                bool bAscii)
{
    if (!IsLive(nSection))
        return nullptr;
    Section& s = m_sections[nSection];
    std::string key = NameKey(pszName);
    for (Prop& p : s.properties) {
        if (!p.bLive || p.key != key)
            continue;
        if (p.bAttribute == bAttribute) {
            p.name = pszName;
            p.text.clear();
            p.ascii.clear();
            p.bAscii = bAscii;
            return &p;
        }
        // Once, in the form written last: the old one stays as a gap.
        p.bLive = false;
        p.text.clear();
        p.ascii.clear();
        break;
    }
    if (!bAttribute)
        s.content.push_back({s.properties.size(), true});
    s.properties.emplace_back();
    Prop& p = s.properties.back();
    p.key = std::move(key);
    p.name = pszName;
    p.bAttribute = bAttribute;
    p.bAscii = bAscii;
    return &p;
}

bool Document::Property(size_t nSection, bool bAttribute, const wchar_t* pszName,
                        const wchar_t* text, size_t n)
{
    Prop* p = Place(nSection, bAttribute, pszName, false);
    return p != nullptr && (p->text.assign(text, n), true);
}

bool Document::PropertyAscii(size_t nSection, bool bAttribute, const wchar_t* pszName,
                             const char* ascii, size_t n)
{
    Prop* p = Place(nSection, bAttribute, pszName, true);
    return p != nullptr && (p->ascii.assign(ascii, n), true);
}

void Document::Empty(size_t nSection)
{
    if (!IsLive(nSection))
        return;
    std::vector<size_t> pending{nSection};
    while (!pending.empty()) {
        Section& s = m_sections[pending.back()];
        pending.pop_back();
        for (const Entry& e : s.content)
            if (!e.bProperty)
                pending.push_back(e.nIndex);
        // Released, not only cleared: a removed section holds nothing.
        std::vector<Prop>().swap(s.properties);
        std::vector<Entry>().swap(s.content);
        s.bLive = &s == &m_sections[nSection];
    }
}

bool Document::Save(const wchar_t* path, ZkDiag::Capture* pCapture)
{
    Writer writer;
    writer.Start(m_sections[0].name, pCapture);
    writer.StreamTo(path);
    bool bInOrder = true;
    auto put = [&](unsigned long nSerial, int nDepth, bool bAttribute, const Prop& p) {
        if (!(p.bAscii ? writer.PropertyAscii(nSerial, nDepth, bAttribute, p.name.c_str(),
                                              p.ascii.data(), p.ascii.size())
                       : writer.Property(nSerial, nDepth, bAttribute, p.name.c_str(), p.text.data(),
                                         p.text.size())))
            bInOrder = false;
    };
    struct Open {
        size_t nSection;
        unsigned long nSerial;
        size_t nNext;  // into its content
    };
    std::vector<Open> open;
    // A section's attributes, as its start tag is written.
    auto start = [&](size_t nSection, unsigned long nSerial) {
        Section& s = m_sections[nSection];
        const int nDepth = static_cast<int>(open.size());
        for (Prop& p : s.properties) {
            p.bOutAsAttribute = p.bAttribute;
            for (size_t i = 0; !p.bOutAsAttribute && p.bLive && i < s.content.size(); ++i)
                p.bOutAsAttribute =
                    !s.content[i].bProperty && m_sections[s.content[i].nIndex].name == p.key;
            if (p.bLive && p.bOutAsAttribute)
                put(nSerial, nDepth, true, p);
        }
        open.push_back({nSection, nSerial, 0});
    };
    start(0, 1);
    while (!open.empty()) {
        Open& o = open.back();
        const Section& s = m_sections[o.nSection];
        if (o.nNext == s.content.size()) {
            open.pop_back();
            continue;
        }
        const Entry e = s.content[o.nNext++];
        const int nDepth = static_cast<int>(open.size()) - 1;
        if (e.bProperty) {
            const Prop& p = s.properties[e.nIndex];
            if (p.bLive && !p.bOutAsAttribute)
                put(o.nSerial, nDepth, false, p);
            continue;
        }
        const std::string& name = m_sections[e.nIndex].name;
        const unsigned long nChild = writer.OpenChild(o.nSerial, nDepth, name.data(), name.size());
        if (nChild == 0)
            bInOrder = false;
        start(e.nIndex, nChild);
    }
    if (!bInOrder) {
        // Document order is what the writer takes: never reached.
        if (pCapture != nullptr)
            pCapture->Fail(ZkOutcome::kSystemError, std::string("the document is out of order"));
        return false;
    }
    return writer.Save(path);
}

}  // namespace ZkXmlWriter
