#pragma once

// What the library does with a property exchange beyond its public interface
// (not exported): keeping what a read or write finds, streaming a save to its
// file, positions read straight from the bytes, and the item count that lets
// a list be reserved once.

#include <cstddef>

#include "platform/ZkNames.h"
#include "platform/internal/files/FileSystem.h"
#include "platform/internal/report/Diagnostics.h"
#include "platform/stu3Value.h"

// Declared, not included: the exchange's own source implements these.
namespace ZkNd {
class CXTPPropExchange;
class CXTPPropExchangeEnumerator;
}  // namespace ZkNd
using ZkNd::CXTPPropExchange;
using ZkNd::CXTPPropExchangeEnumerator;

struct ZkExchangeAccess {
    // Root: the outcome and warnings of what follows go to pCapture (null:
    // nowhere). Warnings of a read get their lines and columns when the root
    // is destroyed.
    static void SetCapture(CXTPPropExchange& root, ZkDiag::Capture* pCapture);
    // Root, writing, before anything is written (ignored after): from now on
    // the document goes to its file as it is written, with no document in
    // memory; SaveToFile with the same path puts it in place, as options say.
    // The stream takes what the library's records write, in document order:
    // properties as attributes, each once, before the section's first child
    // section, and a section asked for by name only once. Any other call is
    // refused (0) and makes SaveToFile fail, leaving the file as it was,
    // rather than lose or misplace a value.
    static void StreamTo(CXTPPropExchange& root, const wchar_t* path,
                         const ZkFileSystem::WriteOptions& options = ZkFileSystem::WriteOptions());
    // Root, reading: LoadFromFile on bytes already read (taken over).
    // pFileBytes, when given, holds the same bytes, unchanged for as long as
    // the exchange lives: warnings find their lines there (null: they get
    // none).
    static int LoadFromBytes(CXTPPropExchange& root, ZkFileSystem::Bytes&& raw,
                             const ZkFileSystem::Bytes* pFileBytes);
    // A position as one text property in the host's three-number form
    // (ZkU3ValueToText, ZkTextToU3Value), read and written without a CString:
    // non-zero when exchanged; the value changes only when all three numbers
    // read.
    static int PX_U3Value(CXTPPropExchange* pPX, const wchar_t* pszName, stu3Value& value);
    // Reading: the number of items from the first position on.
    static size_t CountItems(const CXTPPropExchangeEnumerator& items);
};
