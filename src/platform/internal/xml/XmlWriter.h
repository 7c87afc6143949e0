#pragma once

// The streaming side of the property exchange (not exported): the document is
// written as the records hand over their sections and properties, in the
// layout pugixml's indented output has (declaration, two spaces per level,
// " />" for an empty element), straight into a buffer that goes to the
// atomic file writer in large pieces.
//
// Escapes: &amp; &lt; &quot; in attributes and &amp; &lt; &gt; in text, as
// pugixml writes them; TAB, LF and CR in attributes and CR in text as
// character references, so that XML's normalisation gives them back. A
// character XML cannot carry (a control character other than TAB, LF and CR,
// U+FFFE, U+FFFF, a lone surrogate) is written as U+FFFD and recorded.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/files/FileSystem.h"
#include "platform/internal/report/Diagnostics.h"

namespace ZkXmlWriter {

class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // The declaration and the root's start tag; the root is section 1 at
    // depth 0.
    void Start(const std::string& rootName, ZkDiag::Capture* pCapture);
    void SetCapture(ZkDiag::Capture* pCapture) { m_pCapture = pCapture; }
    // Whether the section (serial, depth) can still be written into.
    bool IsOpen(unsigned long nSerial, int nDepth) const
    {
        return nSerial != 0 && nDepth >= 0 && nDepth <= m_nTop &&
               m_levels[static_cast<size_t>(nDepth)].nSerial == nSerial;
    }
    // Whether it is open with nothing written into it yet.
    bool IsEmpty(unsigned long nSerial, int nDepth) const
    {
        return IsOpen(nSerial, nDepth) && !m_levels[static_cast<size_t>(nDepth)].bHasChildren &&
               !m_levels[static_cast<size_t>(nDepth)].bHasAttributes;
    }
    // A new child section; its serial, or 0 when the section has ended or,
    // with bFirstOfName, already has a child of that name.
    unsigned long OpenChild(unsigned long nSerial, int nDepth, const char* name, size_t len,
                            bool bFirstOfName = false);
    // A property as an attribute (compact) or as a child element holding the
    // value as text. Text is UTF-16 units; ascii is plain ASCII that needs no
    // escaping (numbers). False when the section cannot take it.
    bool Property(unsigned long nSerial, int nDepth, bool bAttribute, const wchar_t* pszName,
                  const wchar_t* text, size_t n);
    bool PropertyAscii(unsigned long nSerial, int nDepth, bool bAttribute, const wchar_t* pszName,
                       const char* ascii, size_t n);

    // From now on the output goes to path in pieces; Save then takes the
    // same path and puts the file in place as options say.
    void StreamTo(const wchar_t* path,
                  const ZkFileSystem::WriteOptions& options = ZkFileSystem::WriteOptions());
    // Ends every section and puts the file in place at path; false, with
    // the reason in the capture, when it could not.
    bool Save(const wchar_t* path);

private:
    struct Level {
        std::string name;
        unsigned long nSerial = 0;
        bool bHasChildren = false;  // its start tag has ended
        bool bHasAttributes = false;
        std::string sectionNames;  // of its child sections, each once and ended by a NUL
    };

    char* Reserve(size_t n);
    void Put(const char* p, size_t n);
    void PutName(const wchar_t* pszName);
    void NewLine();
    void CloseTo(int nDepth);
    // Ends the start tag of the section at nDepth, closing deeper ones.
    void StartContent(int nDepth);
    bool BeginProperty(unsigned long nSerial, int nDepth, bool bAttribute, const wchar_t* pszName);
    void EndProperty(bool bAttribute, const wchar_t* pszName);
    void EndContent(int nDepth);
    void PutEscaped(const wchar_t* p, size_t n, bool bAttribute, const wchar_t* pszName);
    void Replaced(const char* at, const wchar_t* pszName, unsigned long ch);
    void FlushIfLarge();
    bool FailFile(const ZkFileSystem::FileError& error);

    std::unique_ptr<char[]> m_pBuf;
    size_t m_nSize = 0;
    size_t m_nCap = 0;
    std::vector<Level> m_levels;  // reused: names keep their storage
    int m_nTop = -1;              // depth of the innermost open section
    unsigned long m_nNextSerial = 1;
    unsigned long m_nLine = 1;
    size_t m_nLineStart = 0;  // in the buffer
    ZkDiag::Capture* m_pCapture = nullptr;
    std::unique_ptr<ZkFileSystem::AtomicWriter> m_pFile;
    std::wstring m_strStreamPath;
    bool m_bFileFailed = false;
    bool m_bFlushed = false;
};

}  // namespace ZkXmlWriter
