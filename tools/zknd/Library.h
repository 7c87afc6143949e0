#pragma once

// What export, import and fix share: where a data directory keeps its
// libraries, a library read from a data directory other than the one the
// managers are bound to, GUID texts, free names, the drawing and slide files
// of a resource folder, and files compared byte for byte.

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "DataDir.h"
#include "fitting/FittingData.h"
#include "nodedetail/NodeDetailResData.h"
#include "platform/CString.h"

namespace zknd {

// A data directory's library files and resource folder, as the user names
// the directory: the parts below it are the managers' own (taken from the
// directory they are bound to), so any data directory's are found alike.
struct LibraryPlaces {
    std::string strGiven;  // the data directory as given (UTF-8)
    std::filesystem::path nodeDetails;
    std::filesystem::path fittings;
    std::filesystem::path resources;  // the folder of nodeDetails

    static LibraryPlaces Of(const DataDir& bound, const std::string& strGiven);
    // A path made from these, as zknd shows it: below the directory as given.
    std::string Show(const std::filesystem::path& path) const;
};

// The managers serve the one data directory zknd is bound to, for the whole
// process (the host answers the directory once, when each is constructed). A
// library of another directory is read here as the managers read theirs:
// through the property exchange, each row handed to the record's own
// DoPropExchange. Only reading: every write goes through a manager's Save.
//
// False, with the reason, when the file is not read as a library.
bool ReadNodeDetails(const std::filesystem::path& file, std::vector<NodeDetailResData>& vecData,
                     std::string& strWhy);
// A value of the fitting library that the library could not read as its
// type, and would replace with the field's default: such a fitting must not
// be copied.
struct UnreadValue {
    size_t nGroup;
    long nRow;  // -1 for a value of the group itself
    std::string strMessage;
};
bool ReadFittings(const std::filesystem::path& file, std::vector<FittingInfo>& vecGroup,
                  std::vector<UnreadValue>& vecUnread, std::string& strWhy);

// The canonical GUID text: 36 characters, upper-case hexadecimal digits and
// hyphens as in "6F9619FF-8B86-D011-B42D-00C04FC964FF".
bool IsCanonicalGuid(const CString& strGuid);
// The canonical form of a GUID written another way (lower-case letters,
// braces); false when the text is not a GUID.
bool CanonicalGuid(const CString& strGuid, CString& strCanonical);
// A new GUID text, as the library makes one for a new node detail.
CString NewGuidText();

// A text as the library compares names and GUID texts: ASCII letters folded
// to lower case.
std::wstring Folded(const CString& text);

// Names in use, for "name(n)".
class NameSet {
public:
    void Add(const CString& strName) { m_names.insert(Folded(strName)); }
    bool Has(const CString& strName) const { return m_names.count(Folded(strName)) != 0; }
    // The first "%s(%d)" from 1 up that is not in use: the name CopyNode
    // gives a copy.
    CString NextFree(const CString& strBase) const;

private:
    std::unordered_set<std::wstring> m_names;
};

// The drawing (kind 0, ".dwg") and slide (kind 1, ".sld") files of a
// resource folder, extension in any letter case, found by GUID text with the
// letter case of ASCII letters ignored: a system that ignores case finds any
// of them, so none may be taken for free or for unnamed.
class FolderFiles {
public:
    struct Entry {
        std::filesystem::path path;
        CString strGuid;  // the name without its extension
        int nKind;
        bool bRegular;  // a regular file, not a link
    };
    // False when the folder exists but cannot be listed.
    bool List(const std::filesystem::path& folder, std::error_code& ec);
    const std::vector<Entry>& Entries() const { return m_vecEntry; }
    // The entries of that GUID text and kind.
    std::vector<size_t> Find(const CString& strGuid, int nKind) const;
    bool Has(const CString& strGuid) const;
    // A file made meanwhile.
    void Add(const std::filesystem::path& file);

private:
    void Add(const std::filesystem::path& file, bool bRegular);

    std::vector<Entry> m_vecEntry;
    std::unordered_map<std::wstring, std::vector<size_t>> m_byGuid;  // folded GUID text
};

extern const wchar_t* const kExtensions[2];  // ".dwg", ".sld"
extern const char* const kFileWords[2];      // "drawing", "slide"

// Whether two regular files hold the same bytes; false when either cannot be
// read.
bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b);

// Why a node detail's file cannot be taken: it is missing or not a regular
// file (a link is not followed out of the folder); empty when it can.
std::string WhyNotAFile(const std::filesystem::path& file);

}  // namespace zknd
