#pragma once

// Property exchange over an XML document: a tree of named sections holding
// named, typed properties. The same record code reads or writes, depending on
// the direction of the exchange it is handed. Child sections and enumerators
// are values owned by the caller's scope.
//
// Layout of the files: sections are elements. With the mode option at 1 a
// section's properties are attributes of its element, otherwise child
// elements holding the value as text; reading accepts both. A property missing
// while reading leaves the caller's field unchanged.
//
// Reading follows XML 1.0 (fifth edition). The encoding is UTF-8, UTF-16 or
// UTF-32 (byte-order mark, or told by the first character '<') or the one
// the declaration names: GB2312, GBK and GB18030 read as GB18030, any other
// that the system can decode is decoded; one it cannot decode makes the read
// fail, and so does a declaration that names another encoding than the first
// bytes tell. Anything not well-formed makes the read fail with line, column
// and reason: invalid bytes, characters XML does not allow, an XML
// declaration out of form or place, anything but comments, PIs and white
// space after the root, malformed character references, references to
// entities other than the five predefined (a DOCTYPE is skipped: entities
// are never fetched or expanded), and the rest of XML's grammar. Two things
// read with a warning: a '&' in a value that begins no reference reads as
// itself, and a character reference to a character XML forbids (such as
// &#1;) or a lone surrogate in UTF-16 reads as U+FFFD. Line ends are
// normalised (CR LF and CR become LF; in attributes TAB, LF and CR then
// become spaces), and a value held in an element is all of its text and
// CDATA, whatever comments and processing instructions stand between.
//
// Writing holds the document in memory until SaveToFile, so a caller may
// write into any section it holds, in any order: every value written is
// stored. A property written again keeps its place and takes the last value;
// written in the other mode, it is stored once, in the mode written last. A
// property held in an element whose name is also that of a child section is
// written as an attribute, since reading looks for an attribute first and
// finds sections only among elements: each then reads back as written. The
// document goes out in UTF-8 with the declaration <?xml version="1.0"?>,
// two-space indentation, &amp; &lt; &gt; &quot; and references for TAB, LF
// and CR in attributes and CR in text, so that every value reads back
// exactly. A character XML cannot carry (a control character other than TAB,
// LF and CR, U+FFFE, U+FFFF, a lone surrogate) is written as U+FFFD: a save
// never fails on content.

#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/ZkNames.h"

struct ZkExchangeAccess;

namespace ZkNd {

// Opaque enumeration position; null means no (further) item. Beside MFC it is
// ZkNd::POSITION, MFC's own being another type.
typedef struct __ZkPosition* POSITION;

class CXTPPropExchangeEnumerator;

class ZKND_API CXTPPropExchange {
public:
    // A root exchange: bLoading 1 reads, 0 writes a new, empty document whose
    // root section is lpszSection. pParent must be null (a root has none).
    CXTPPropExchange(int bLoading, const CXTPPropExchange* pParent, const wchar_t* lpszSection);
    ~CXTPPropExchange();
    CXTPPropExchange(CXTPPropExchange&& other) noexcept;
    CXTPPropExchange(const CXTPPropExchange&) = delete;
    CXTPPropExchange& operator=(const CXTPPropExchange&) = delete;
    CXTPPropExchange& operator=(CXTPPropExchange&&) = delete;

    // Root, reading: parses the file; non-zero when it was read.
    int LoadFromFile(const wchar_t* lpszPath);
    // Root, reading: non-zero when the document's root element is the
    // exchange's root section.
    int IsRootSectionPresent() const;
    // Root, writing: writes the document by replacing the file atomically; 0
    // when written, non-zero on failure, in which case the old file is
    // untouched. The document stays: what is written afterwards goes into it,
    // and a later save writes it all. Documents are always indented:
    // bFormatted is accepted for the shape of the call.
    int SaveToFile(const wchar_t* lpszPath, int bFormatted);

    // 1: properties as attributes. Children take the mode their parent has
    // when they are opened.
    void SetCompactMode(int nMode);

    int IsLoading() const;

    // The child section of that name, in this exchange's direction: the first
    // of that name (an enumerator's item too). Reading a section that is
    // absent gives an exchange in which every property read fails and every
    // enumerator is empty. Writing adds the child when there is none.
    CXTPPropExchange GetSection(const wchar_t* lpszSection);
    // The repeated child sections of that name.
    CXTPPropExchangeEnumerator GetEnumerator(const wchar_t* lpszSection);
    // Writing: removes every property and child section of this section, so
    // that what is written afterwards replaces what it held; the exchanges of
    // the removed sections store nothing more (0). Reading: no effect.
    void EmptySection();
    // Called after an item of this section was written; non-zero when pItem
    // is a child section of this one, still in the document. It changes
    // nothing.
    int AfterItem(const CXTPPropExchange* pItem) const;

    // Property exchange: non-zero when the property was read or written. On a
    // failed read (absent, or not a number where one belongs) the field is
    // left as it was.
    int PX_String(const wchar_t* lpszName, CString& value);
    int PX_Double(const wchar_t* lpszName, double& value);
    int PX_Int(const wchar_t* lpszName, int& value);

private:
    friend class CXTPPropExchangeEnumerator;
    friend struct ::ZkExchangeAccess;
    struct Root;
    CXTPPropExchange(Root* pRoot, void* pNode, unsigned long nSerial, int nDepth, int nMode);

    Root* m_pRoot;
    void* m_pNode;            // reading: the section's element, null when absent
    void* m_pNextAttribute;   // reading: where the next property is looked for first
    unsigned long m_nSerial;  // writing: which section this is (0: none)
    int m_nDepth;             // writing: its depth, the root's is 0 (used when streamed)
    int m_nCompactMode;
    bool m_bOwnsRoot;
};

// The repeated item sections of one name, from CXTPPropExchange::GetEnumerator;
// it reads the items in document order or adds new ones. It refers to its
// section, which must outlive it.
class ZKND_API CXTPPropExchangeEnumerator {
public:
    ~CXTPPropExchangeEnumerator();
    CXTPPropExchangeEnumerator(CXTPPropExchangeEnumerator&& other) noexcept;
    CXTPPropExchangeEnumerator(const CXTPPropExchangeEnumerator&) = delete;
    CXTPPropExchangeEnumerator& operator=(const CXTPPropExchangeEnumerator&) = delete;
    CXTPPropExchangeEnumerator& operator=(CXTPPropExchangeEnumerator&&) = delete;

    // First position. Reading: the first item, or null when there is none.
    // Writing: a non-null position that GetNext does not need. The arguments
    // (an expected count and the compact flag) are accepted for the shape of
    // the call and have no effect.
    POSITION GetPosition(unsigned long dwCount = 0, int bCompactMode = 1);
    // Reading: the exchange of the item at pos; pos moves to the next item or
    // becomes null after the last. Writing: adds a new item section.
    CXTPPropExchange GetNext(POSITION& pos);

private:
    friend class CXTPPropExchange;
    friend struct ::ZkExchangeAccess;
    CXTPPropExchangeEnumerator(CXTPPropExchange* pSection, const wchar_t* lpszName);

    CXTPPropExchange* m_pSection;
    char m_szName[64];  // UTF-8; a longer name is kept on the heap
    char* m_pszName;
};

}  // namespace ZkNd

#if ZKND_GLOBAL_MFC_NAMES
using ZkNd::POSITION;
#endif
#if ZKND_GLOBAL_XTP_NAMES
using ZkNd::CXTPPropExchange;
using ZkNd::CXTPPropExchangeEnumerator;
#endif
