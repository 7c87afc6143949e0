#pragma once

// Property exchange over an XML document: a tree of named sections holding
// named, typed properties. The same record code reads or writes, depending on
// the direction of the exchange it is handed.
//
// Layout of the files: sections are elements. With the mode option at 1 a
// section's properties are attributes of its element, otherwise child
// elements holding the value as text; reading accepts both. Files are written
// as UTF-8 with an XML declaration; reading accepts UTF-8 (with or without a
// byte-order mark) and UTF-16. A property missing while reading leaves the
// caller's field unchanged.

#include <memory>

#include "platform/CString.h"
#include "platform/ZkExport.h"

// Opaque enumeration position; null means no (further) item.
typedef struct __ZkPosition* POSITION;

class CXTPPropExchangeEnumerator;

class ZKND_API CXTPPropExchange {
public:
    // A root exchange: bLoading 1 reads, 0 writes a new, empty document whose
    // root section is lpszSection. pParent must be null (a root has none).
    CXTPPropExchange(int bLoading, const CXTPPropExchange* pParent, const wchar_t* lpszSection);
    ~CXTPPropExchange();
    CXTPPropExchange(const CXTPPropExchange&) = delete;
    CXTPPropExchange& operator=(const CXTPPropExchange&) = delete;

    // Root, reading: parses the file; non-zero when it was read.
    int LoadFromFile(const wchar_t* lpszPath);
    // Root, reading: non-zero when the document's root element is the
    // exchange's root section.
    int IsRootSectionPresent() const;
    // Root, writing: writes the document (indented when bFormatted) by
    // replacing the file atomically; 0 when written, non-zero on failure, in
    // which case the old file is untouched.
    int SaveToFile(const wchar_t* lpszPath, int bFormatted);

    // 1: properties as attributes. Children take the mode their parent has
    // when they are opened.
    void SetCompactMode(int nMode);

    int IsLoading() const;

    // The child section of that name, in this exchange's direction. Reading a
    // section that is absent gives an exchange in which every property read
    // fails and every enumerator is empty. Writing opens the existing child of
    // that name or adds one.
    std::unique_ptr<CXTPPropExchange> GetSection(const wchar_t* lpszSection);
    // The repeated child sections of that name.
    std::unique_ptr<CXTPPropExchangeEnumerator> GetEnumerator(const wchar_t* lpszSection);
    // Writing: removes every property and child section. Reading: no effect.
    void EmptySection();
    // Called after an item of this section was written; non-zero when pItem
    // is an item section of this exchange. It changes nothing.
    int AfterItem(const CXTPPropExchange* pItem) const;

    // Property exchange: non-zero when the property was read or written. On a
    // failed read (absent, or not a number where one belongs) the field is
    // left as it was.
    int PX_String(const wchar_t* lpszName, CString& value);
    int PX_Double(const wchar_t* lpszName, double& value);
    int PX_Int(const wchar_t* lpszName, int& value);

private:
    struct Impl;
    explicit CXTPPropExchange(Impl* pImpl);
    Impl* m_pImpl;

    friend class CXTPPropExchangeEnumerator;
};

// The repeated item sections of one name, from CXTPPropExchange::GetEnumerator;
// it reads the items in document order or adds new ones.
class ZKND_API CXTPPropExchangeEnumerator {
public:
    ~CXTPPropExchangeEnumerator();
    CXTPPropExchangeEnumerator(const CXTPPropExchangeEnumerator&) = delete;
    CXTPPropExchangeEnumerator& operator=(const CXTPPropExchangeEnumerator&) = delete;

    // First position. Reading: the first item, or null when there is none.
    // Writing: a non-null position that GetNext does not need. The arguments
    // (an expected count and the compact flag) are accepted for the shape of
    // the call and have no effect.
    POSITION GetPosition(unsigned long dwCount = 0, int bCompactMode = 1);
    // Reading: the exchange of the item at pos; pos moves to the next item or
    // becomes null after the last. Writing: adds a new item section.
    std::unique_ptr<CXTPPropExchange> GetNext(POSITION& pos);

private:
    friend class CXTPPropExchange;
    struct Impl;
    explicit CXTPPropExchangeEnumerator(Impl* pImpl);
    Impl* m_pImpl;
};
