#pragma once

// What `zknd check` finds in a data directory, and the pieces `list` and
// `copy` share with it.
//
// Errors are what makes the product read, find or copy the wrong thing, or
// nothing: a library file that does not load, two node details the library
// cannot tell apart by name or GUID text, a drawing or slide file that is
// missing, a GUID text that cannot name a file, fitting groups that share a
// type (lookups by type see only the first), fittings of one group with the
// same name. Warnings are what works today but loses or wastes something or
// breaks a convention: values the library could not read as their type,
// characters it had to replace, GUID texts not in the canonical form, drawing
// and slide files that no node detail names.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "DataDir.h"
#include "Folder.h"
#include "Progress.h"
#include "platform/ZkReport.h"

namespace zknd {

struct Problem {
    std::string strPath;  // as shown: the data directory as given, then the file
    int nLine = 0;        // 1-based; 0 when not known
    int nColumn = 0;
    bool bError = true;
    std::string strCode;  // e.g. "duplicate-name"
    std::string strMessage;
    std::string strGuid;  // of the record concerned, when there is one
    std::string strName;
    bool bRecord = false;  // strGuid and strName are a record's
};

struct Findings {
    std::vector<Problem> vecProblem;
    int nNodeDetails = 0;
    int nFittingGroups = 0;
    int nFittings = 0;
};

Findings Check(const DataDir& dir, Progress& progress);

// The outcome of a report that failed, as an error, and its warnings, about
// the file shown as strPath.
void AddReport(const ZkReport& report, const std::string& strPath,
               std::vector<Problem>& vecProblem);
// "PATH:LINE:COLUMN: error: message" and a line end; line and column only
// where they are known.
std::string FormatProblem(const Problem& problem);

// The drawing and slide files of the resource folder, looked up by name as
// the system finds them (letter case ignored on Windows).
class ResourceFiles {
public:
    explicit ResourceFiles(std::vector<FolderEntry> vecEntry);
    // For each GUID text, what stands at "GUID.dwg" and at "GUID.sld": 1 a
    // regular file, 0 nothing, -1 a folder or anything else. The entries found
    // count as named by a record.
    std::vector<std::array<int, 2>> FindAll(const std::vector<CString>& vecGuid);
    // Drawing and slide files that no FindAll named, sorted.
    std::vector<std::string> Unnamed() const;

private:
    // A name without its ".dwg" or ".sld", held inline when it is short
    // enough, so that looking up a few hundred thousand GUID texts reads
    // memory in order.
    struct Key {
        uint64_t nHash;
        uint32_t nOwner;  // the entry, or the GUID text looked up
        uint8_t nKind;    // 0 ".dwg", 1 ".sld"
        bool bRegular;
        uint8_t nLength;  // of aText; 0 when the name is longer
        char aText[37];
    };
    static Key KeyOf(const char* pName, size_t nLength, size_t nOwner, int nKind, bool bRegular);

    std::vector<FolderEntry> m_vecEntry;
    std::vector<bool> m_vecNamed;
    std::vector<Key> m_vecKey;  // the drawing and slide files, sorted by hash
};

// A hash of the text with the letter case of ASCII letters ignored.
uint64_t FoldedHash(const CString& text);
// For each position, the first position before it whose text is the same
// ignoring the letter case of ASCII letters (CString::CompareNoCase), or -1.
// vecHash holds FoldedHash of each text; textAt(i) gives the text at i, and
// is asked only to tell apart texts of equal hash.
template <typename TextAt>
std::vector<long> FirstEqualNoCase(const std::vector<uint64_t>& vecHash, TextAt textAt)
{
    std::vector<std::pair<uint64_t, size_t>> index(vecHash.size());
    for (size_t i = 0; i < vecHash.size(); ++i)
        index[i] = {vecHash[i], i};
    std::sort(index.begin(), index.end());
    std::vector<long> vecFirst(vecHash.size(), -1);
    for (size_t run = 0; run < index.size();) {
        size_t end = run + 1;
        while (end < index.size() && index[end].first == index[run].first)
            ++end;
        // Within a run the positions ascend, so each distinct text is met
        // first at its first position.
        std::vector<std::pair<size_t, CString>> vecDistinct;
        for (size_t k = run; end - run > 1 && k < end; ++k) {
            CString text = textAt(index[k].second);
            const auto it =
                std::find_if(vecDistinct.begin(), vecDistinct.end(),
                             [&](const auto& d) { return d.second.CompareNoCase(text) == 0; });
            if (it == vecDistinct.end())
                vecDistinct.emplace_back(index[k].second, std::move(text));
            else
                vecFirst[index[k].second] = static_cast<long>(it->first);
        }
        run = end;
    }
    return vecFirst;
}

}  // namespace zknd
