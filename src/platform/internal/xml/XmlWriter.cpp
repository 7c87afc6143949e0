#include "platform/internal/xml/XmlWriter.h"

#include <cstring>
#include <utility>

#include "platform/ZkCompiler.h"
#include "platform/internal/text/Unicode.h"

namespace ZkXmlWriter {

namespace {

// Output pieces handed to the file writer.
const size_t kFlushSize = 256u << 10;

// Escapes of ASCII units, by context: null when the unit goes out as it is,
// "" when XML cannot carry it.
struct EscapeTable {
    const char* attribute[0x80];
    const char* text[0x80];
    EscapeTable() : attribute(), text()
    {
        for (int c = 0; c < 0x20; ++c)
            attribute[c] = text[c] = "";
        auto at = [](char c) { return static_cast<unsigned char>(c); };
        attribute[at('\t')] = "&#09;";
        attribute[at('\n')] = "&#10;";
        attribute[at('\r')] = text[at('\r')] = "&#13;";
        text[at('\t')] = text[at('\n')] = nullptr;
        attribute[at('&')] = text[at('&')] = "&amp;";
        attribute[at('<')] = text[at('<')] = "&lt;";
        attribute[at('"')] = "&quot;";
        text[at('>')] = "&gt;";
    }
};

const EscapeTable kEscapes;

// Copies to out the units from p on that are ASCII going out as they are in
// any value (not a control character, '&', '<', '>' or '"'), sixteen at a
// time: whole blocks, and of the block holding the first unit that is not,
// the units before it. Returns how many; the rest takes the careful path.
#if ZKND_HAS_SSE2
size_t CopyPlainAscii(const wchar_t* p, size_t n, char* out)
{
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        // Anything from 0x80 on becomes 0xFF or 0: both stop the run below.
        const __m128i bytes = ZkText::NarrowUnits(p + i);
        // Signed: bytes from 0x80 on count as below 0x20.
        const __m128i stop =
            _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&'))),
                         _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
        const int mask = _mm_movemask_epi8(stop);
        if (mask != 0)
            return i +
                   static_cast<size_t>(ZkCompiler::TrailingZeros32(static_cast<unsigned>(mask)));
    }
    return i;
}
#else
// One unit at a time, the careful path is as quick: it takes them all.
size_t CopyPlainAscii(const wchar_t*, size_t, char*)
{
    return 0;
}
#endif

}  // namespace

Writer::Writer() = default;
Writer::~Writer() = default;

char* Writer::Reserve(size_t n)
{
    if (m_nCap - m_nSize < n) {
        // Room at once for a piece and the element that ends it: a streamed
        // save never grows the buffer, so it never copies it. Pages not
        // written to are not taken.
        size_t cap = m_nCap == 0 ? kFlushSize + kFlushSize / 4 : m_nCap * 2;
        while (cap - m_nSize < n)
            cap *= 2;
        std::unique_ptr<char[]> p(new char[cap]);
        if (m_nSize != 0)
            std::memcpy(p.get(), m_pBuf.get(), m_nSize);
        m_pBuf = std::move(p);
        m_nCap = cap;
    }
    return m_pBuf.get() + m_nSize;
}

inline void Writer::Put(const char* p, size_t n)
{
    std::memcpy(Reserve(n), p, n);
    m_nSize += n;
}

void Writer::PutName(const wchar_t* pszName)
{
    // Names are short and ASCII in practice: copied while they are scanned.
    const size_t kShort = 64;
    char* out = Reserve(kShort);
    size_t n = 0;
    for (; n < kShort && pszName[n] != 0 && ZkText::IsAscii(pszName[n]); ++n)
        out[n] = static_cast<char>(pszName[n]);
    if (pszName[n] == 0) {
        m_nSize += n;
        return;
    }
    // Read back by the same name only if converted as the reader converts it.
    const std::string name = ZkText::NameToUtf8(pszName);
    Put(name.data(), name.size());
}

void Writer::NewLine()
{
    Put("\n", 1);
    ++m_nLine;
    m_nLineStart = m_nSize;
}

void Writer::Start(const std::string& rootName, ZkDiag::Capture* pCapture)
{
    m_pCapture = pCapture;
    Put("<?xml version=\"1.0\"?>", 21);
    NewLine();
    Put("<", 1);
    Put(rootName.data(), rootName.size());
    m_levels.resize(1);
    m_levels[0].name = rootName;
    m_levels[0].nSerial = m_nNextSerial++;
    m_levels[0].bHasChildren = false;
    m_levels[0].bHasAttributes = false;
    m_levels[0].sectionNames.clear();
    m_nTop = 0;
}

void Writer::EndContent(int nDepth)
{
    Level& level = m_levels[static_cast<size_t>(nDepth)];
    if (!level.bHasChildren) {
        Put(" />", 3);
    } else {
        char* out = Reserve(static_cast<size_t>(nDepth) * 2 + level.name.size() + 3);
        std::memset(out, ' ', static_cast<size_t>(nDepth) * 2);
        out += nDepth * 2;
        *out++ = '<';
        *out++ = '/';
        std::memcpy(out, level.name.data(), level.name.size());
        out += level.name.size();
        *out++ = '>';
        m_nSize = static_cast<size_t>(out - m_pBuf.get());
    }
    NewLine();
    level.nSerial = 0;
    FlushIfLarge();
}

void Writer::CloseTo(int nDepth)
{
    while (m_nTop > nDepth)
        EndContent(m_nTop--);
}

void Writer::StartContent(int nDepth)
{
    CloseTo(nDepth);
    Level& parent = m_levels[static_cast<size_t>(nDepth)];
    if (!parent.bHasChildren) {
        parent.bHasChildren = true;
        Put(">", 1);
        NewLine();
    }
}

unsigned long Writer::OpenChild(unsigned long nSerial, int nDepth, const char* name, size_t len,
                                bool bFirstOfName)
{
    if (!IsOpen(nSerial, nDepth))
        return 0;
    const size_t d = static_cast<size_t>(nDepth) + 1;
    if (m_levels.size() <= d)
        m_levels.resize(d + 1);
    Level& parent = m_levels[d - 1];
    Level& level = m_levels[d];
    // The level below still holds the name of the section there last, which
    // is this section's last child when it has had one: repeated items.
    const bool bSameName =
        level.name.size() == len && std::memcmp(level.name.data(), name, len) == 0;
    bool bKnown = bSameName && !parent.sectionNames.empty();
    for (size_t at = 0; !bKnown && at < parent.sectionNames.size();) {
        const size_t end = parent.sectionNames.find('\0', at);
        bKnown = end - at == len && std::memcmp(parent.sectionNames.data() + at, name, len) == 0;
        at = end + 1;
    }
    if (bKnown && bFirstOfName)
        return 0;
    if (!bKnown) {
        parent.sectionNames.append(name, len);
        parent.sectionNames.push_back('\0');
    }
    StartContent(nDepth);
    if (!bSameName)
        level.name.assign(name, len);
    level.nSerial = m_nNextSerial++;
    level.bHasChildren = false;
    level.bHasAttributes = false;
    level.sectionNames.clear();
    m_nTop = nDepth + 1;
    char* out = Reserve(d * 2 + 1 + len);
    std::memset(out, ' ', d * 2);
    out[d * 2] = '<';
    std::memcpy(out + d * 2 + 1, name, len);
    m_nSize += d * 2 + 1 + len;
    return level.nSerial;
}

bool Writer::BeginProperty(unsigned long nSerial, int nDepth, bool bAttribute,
                           const wchar_t* pszName)
{
    if (!IsOpen(nSerial, nDepth))
        return false;
    if (bAttribute) {
        Level& level = m_levels[static_cast<size_t>(nDepth)];
        if (level.bHasChildren)
            return false;
        level.bHasAttributes = true;
        *Reserve(1) = ' ';
        ++m_nSize;
        PutName(pszName);
        char* out = Reserve(2);
        out[0] = '=';
        out[1] = '"';
        m_nSize += 2;
        return true;
    }
    StartContent(nDepth);
    const size_t indent = (static_cast<size_t>(nDepth) + 1) * 2;
    std::memset(Reserve(indent), ' ', indent);
    m_nSize += indent;
    Put("<", 1);
    PutName(pszName);
    Put(">", 1);
    return true;
}

void Writer::EndProperty(bool bAttribute, const wchar_t* pszName)
{
    if (bAttribute) {
        *Reserve(1) = '"';
        ++m_nSize;
        return;
    }
    Put("</", 2);
    PutName(pszName);
    Put(">", 1);
    NewLine();
}

bool Writer::Property(unsigned long nSerial, int nDepth, bool bAttribute, const wchar_t* pszName,
                      const wchar_t* text, size_t n)
{
    if (!BeginProperty(nSerial, nDepth, bAttribute, pszName))
        return false;
    PutEscaped(text, n, bAttribute, pszName);
    EndProperty(bAttribute, pszName);
    return true;
}

bool Writer::PropertyAscii(unsigned long nSerial, int nDepth, bool bAttribute,
                           const wchar_t* pszName, const char* ascii, size_t n)
{
    if (!BeginProperty(nSerial, nDepth, bAttribute, pszName))
        return false;
    Put(ascii, n);
    EndProperty(bAttribute, pszName);
    return true;
}

void Writer::PutEscaped(const wchar_t* p, size_t n, bool bAttribute, const wchar_t* pszName)
{
    const char* const* escapes = bAttribute ? kEscapes.attribute : kEscapes.text;
    // Worst case per unit: "&quot;".
    char* out = Reserve(n * 6);
    for (size_t i = 0; i < n; ++i) {
        const size_t nPlain = CopyPlainAscii(p + i, n - i, out);
        out += nPlain;
        i += nPlain;
        if (i == n)
            break;
        unsigned long u = ZkText::Unit(p[i]);
        // Most units are letters, digits and punctuation that go out as they
        // are, and characters beyond ASCII in one unit (CJK), which come in
        // runs.
        while (u >= 0x20 && u < 0x80 && escapes[u] == nullptr) {
            *out++ = static_cast<char>(u);
            if (++i == n)
                break;
            u = ZkText::Unit(p[i]);
        }
        while (u >= 0x80 && !ZkText::IsSurrogate(u) && u < 0xFFFE) {
            out = ZkText::EncodeUtf8(out, u);
            if (++i == n)
                break;
            u = ZkText::Unit(p[i]);
        }
        if (i == n)
            break;
        if (u < 0x80) {
            const char* e = escapes[u];
            if (e == nullptr) {
                *out++ = static_cast<char>(u);
                if (u == '\n') {
                    ++m_nLine;
                    m_nLineStart = static_cast<size_t>(out - m_pBuf.get());
                }
                continue;
            }
            if (*e != 0) {
                const size_t len = std::strlen(e);
                std::memcpy(out, e, len);
                out += len;
                continue;
            }
        } else {
            size_t len = 1;
            const unsigned long c = ZkText::DecodeUtf16(
                [p](size_t k) { return static_cast<unsigned long>(ZkText::Unit(p[k])); }, i, n,
                len);
            if (len == 2) {
                out = ZkText::EncodeUtf8(out, c);
                ++i;
                continue;
            }
        }
        Replaced(out, pszName, u);
        out = ZkText::EncodeUtf8(out, 0xFFFD);
    }
    m_nSize = static_cast<size_t>(out - m_pBuf.get());
}

void Writer::Replaced(const char* at, const wchar_t* pszName, unsigned long ch)
{
    if (m_pCapture == nullptr)
        return;
    ZkDiag::Warning w;
    w.kind = ZkDiag::WarningKind::kReplacedCharacter;
    w.bWriting = true;
    // The line so far holds no line end: its counter gives the column.
    const size_t nSoFar = static_cast<size_t>(at - m_pBuf.get()) - m_nLineStart;
    w.at.nLine = m_nLine;
    w.at.nColumn = ZkLineCounter(m_pBuf.get() + m_nLineStart, nSoFar).At(nSoFar).nColumn;
    w.strSection = ZkDiag::WideFromUtf8(m_levels[static_cast<size_t>(m_nTop)].name);
    w.strProperty = pszName;
    w.nCharacter = ch;
    m_pCapture->Add(std::move(w));
}

void Writer::FlushIfLarge()
{
    if (m_pFile == nullptr || m_nSize < kFlushSize)
        return;
    if (!m_bFileFailed && !m_pFile->Write(m_pBuf.get(), m_nSize))
        m_bFileFailed = true;
    m_bFlushed = true;
    m_nSize = 0;
    m_nLineStart = 0;
}

void Writer::StreamTo(const wchar_t* path, const ZkFileSystem::WriteOptions& options)
{
    m_strStreamPath = path;
    m_pFile.reset(new ZkFileSystem::AtomicWriter(path, options));
}

bool Writer::FailFile(const ZkFileSystem::FileError& error)
{
    if (m_pCapture != nullptr)
        m_pCapture->FailFile(error);
    return false;
}

bool Writer::Save(const wchar_t* path)
{
    if (m_nTop >= 0) {
        CloseTo(0);
        EndContent(0);
        m_nTop = -1;
    }
    std::unique_ptr<ZkFileSystem::AtomicWriter> file = std::move(m_pFile);
    // What was streamed is gone from the buffer: it cannot be written again.
    if (file != nullptr ? m_strStreamPath != path : m_bFlushed)
        return FailFile({ZkFileSystem::FileStatus::kSystemError, 0});
    if (file == nullptr)
        file.reset(new ZkFileSystem::AtomicWriter(path));
    const bool bOk = !m_bFileFailed && file->Write(m_pBuf.get(), m_nSize) && file->Commit();
    if (!bOk)
        return FailFile(file->Error());
    if (m_pCapture != nullptr && m_pCapture->outcome == ZkOutcome::kNone)
        m_pCapture->outcome = ZkOutcome::kDone;
    return true;
}

}  // namespace ZkXmlWriter
