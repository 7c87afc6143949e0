#include "Check.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <utility>

#include "Display.h"
#include "Hash.h"
#include "Library.h"
#include "ResourceFiles.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkPath.h"
#include "platform/ZkTextPosition.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

// Where the records of a library file start: the elements named pszItem right
// under the root element, and those named pszSub right under each of them,
// in document order. None when the file does not parse.
struct Layout {
    std::vector<ZkTextPosition> vecItem;
    std::vector<std::vector<ZkTextPosition>> vecSub;
};

Layout ScanFile(const fs::path& file, const char* pszItem, const char* pszSub)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::string text(in ? static_cast<size_t>(in.tellg()) : 0u, '\0');
    in.seekg(0);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    // Parsed as UTF-8 without conversion: the parser's offsets are those of
    // `text`, which the counter turns into lines and columns of characters.
    ZkUtf::XmlAsUtf8(text);
    Layout layout;
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_minimal, pugi::encoding_utf8))
        return layout;
    ZkLineCounter counter(text.data(), text.size());
    // offset_debug() is where the name starts, one past the '<'.
    auto at = [&counter](const pugi::xml_node& node) {
        const ptrdiff_t nOffset = node.offset_debug();
        return nOffset > 0 ? counter.At(static_cast<size_t>(nOffset - 1)) : ZkTextPosition();
    };
    for (const pugi::xml_node& item : doc.document_element().children(pszItem)) {
        layout.vecItem.push_back(at(item));
        layout.vecSub.emplace_back();
        if (pszSub != nullptr)
            for (const pugi::xml_node& sub : item.children(pszSub))
                layout.vecSub.back().push_back(at(sub));
    }
    return layout;
}

// Problems of one library file: the file's own first, then by position. The
// file is scanned for the records' lines only when a record has a problem.
class FileProblems {
public:
    FileProblems(std::string strPath, fs::path file, const char* pszItem, const char* pszSub)
        : m_strPath(std::move(strPath)),
          m_file(std::move(file)),
          m_pszItem(pszItem),
          m_pszSub(pszSub)
    {
    }

    // How many items the library read, and of sub-items in each: positions
    // are trusted only when the scan finds as many.
    void Expect(size_t nItems, std::vector<size_t> vecSubs = {})
    {
        m_nItems = nItems;
        m_vecSubs = std::move(vecSubs);
    }

    // "line N" where the item is known to start, else "record N".
    std::string Where(size_t nItem, size_t nSub = npos)
    {
        const ZkTextPosition pos = At(nItem, nSub);
        return pos.nLine > 0 ? "line " + std::to_string(pos.nLine)
                             : "record " + std::to_string((nSub == npos ? nItem : nSub) + 1);
    }

    // A problem at an item or sub-item; pRecord names the record it is about.
    void Add(size_t nItem, size_t nSub, bool bError, const char* pszCode, std::string strMessage,
             const std::pair<CString, CString>* pRecord)
    {
        Problem problem;
        problem.strPath = m_strPath;
        const ZkTextPosition pos = At(nItem, nSub);
        problem.nLine = static_cast<int>(pos.nLine);
        problem.nColumn = static_cast<int>(pos.nColumn);
        problem.bError = bError;
        problem.strCode = pszCode;
        problem.strMessage = std::move(strMessage);
        problem.nItem = static_cast<long>(nItem);
        problem.nSub = nSub == npos ? -1 : static_cast<long>(nSub);
        if (pRecord != nullptr) {
            problem.bRecord = true;
            problem.strGuid = Utf8(pRecord->first);
            problem.strName = Utf8(pRecord->second);
        }
        m_vecProblem.push_back(std::move(problem));
    }

    void MoveInto(std::vector<Problem>& vecOut)
    {
        std::stable_sort(m_vecProblem.begin(), m_vecProblem.end(),
                         [](const Problem& a, const Problem& b) {
                             return a.nLine != b.nLine ? a.nLine < b.nLine : a.nColumn < b.nColumn;
                         });
        std::move(m_vecProblem.begin(), m_vecProblem.end(), std::back_inserter(vecOut));
    }

    std::vector<Problem>& Problems() { return m_vecProblem; }
    const std::string& Path() const { return m_strPath; }

    static const size_t npos = static_cast<size_t>(-1);

private:
    ZkTextPosition At(size_t nItem, size_t nSub)
    {
        if (!m_pLayout) {
            m_pLayout.reset(new Layout(ScanFile(m_file, m_pszItem, m_pszSub)));
            m_bPlaced = m_pLayout->vecItem.size() == m_nItems;
            for (size_t i = 0; m_bPlaced && i < m_vecSubs.size(); ++i)
                m_bPlaced = m_pLayout->vecSub[i].size() == m_vecSubs[i];
        }
        if (!m_bPlaced)
            return ZkTextPosition();
        return nSub == npos ? m_pLayout->vecItem[nItem] : m_pLayout->vecSub[nItem][nSub];
    }

    std::string m_strPath;
    fs::path m_file;
    const char* m_pszItem;
    const char* m_pszSub;
    size_t m_nItems = 0;
    std::vector<size_t> m_vecSubs;
    std::unique_ptr<Layout> m_pLayout;
    bool m_bPlaced = false;
    std::vector<Problem> m_vecProblem;
};

// "has the same name as "X" at line N", noting when only letter case differs.
std::string SameNameAs(const CString& strName, const CString& strFirst, const std::string& strWhere)
{
    return "has the same name as " + Quoted(strFirst) + " at " + strWhere +
           (strName == strFirst ? "" : " (letter case ignored)");
}

// A node detail's two files.
struct FileKind {
    const char* pszExtension;
    const char* pszWord;
    const char* pszMissing;
    const char* pszUnnamed;
};
const FileKind kFileKinds[] = {{".dwg", "drawing", "missing-drawing", "unnamed-drawing"},
                               {".sld", "slide", "missing-slide", "unnamed-slide"}};

// What the checks need of a node detail's GUID text.
struct GuidFacts {
    const wchar_t* pszNotAFileName;  // why, or null
    bool bCanonical;
};

// What the checks of node details find of each, in one pass over the records
// on this thread while the folder is listed on the other: a third would take
// time from both on two cores.
struct NodeDetailFacts {
    std::vector<GuidFacts> vecGuid;
    std::vector<long> vecSameName;  // the first of the same name before it, or -1
    std::vector<long> vecSameGuid;  // the first of the same GUID text before it, or -1
    ResourceFiles::Lookups lookups;
};

NodeDetailFacts GatherFacts(const std::vector<NodeDetailResData>& vecRow)
{
    NodeDetailFacts facts;
    facts.vecGuid.resize(vecRow.size());
    facts.lookups.Reserve(vecRow.size());
    std::vector<uint64_t> vecHash(vecRow.size());
    for (size_t i = 0; i < vecRow.size(); ++i) {
        const CString strGuid = vecRow[i].GetGuid();
        GuidFacts& guid = facts.vecGuid[i];
        // A canonical text is a plain file name.
        guid.bCanonical = IsCanonicalGuid(strGuid);
        guid.pszNotAFileName = nullptr;
        if (!guid.bCanonical)
            ZkIsPlainFileName(strGuid, &guid.pszNotAFileName);
        facts.lookups.Add(strGuid);
        vecHash[i] = FoldedHash(vecRow[i].GetDisplayName());
    }
    // Equal names and GUID texts, and the table the files are looked up in,
    // on this thread while the other still lists the folder.
    facts.vecSameName = FirstEqualNoCase(vecHash, [&vecRow](size_t a, size_t b) {
        return vecRow[a].GetDisplayName().CompareNoCase(vecRow[b].GetDisplayName()) == 0;
    });
    for (size_t i = 0; i < vecHash.size(); ++i)
        vecHash[i] = facts.lookups.Hash(i);
    facts.vecSameGuid = FirstEqualNoCase(vecHash, [&vecRow](size_t a, size_t b) {
        return vecRow[a].GetGuid().CompareNoCase(vecRow[b].GetGuid()) == 0;
    });
    facts.lookups.MakeTable();
    return facts;
}

// The problems of each node detail, by record.
void AddNodeDetailProblems(const std::vector<NodeDetailResData>& vecRow,
                           const NodeDetailFacts& facts,
                           const std::vector<std::array<int, 2>>& vecFound, FileProblems& file)
{
    auto nameAt = [&vecRow](size_t i) { return vecRow[i].GetDisplayName(); };
    auto add = [&](size_t i, bool bError, const char* pszCode, const std::string& strWhat) {
        const std::pair<CString, CString> record(vecRow[i].GetGuid(), nameAt(i));
        file.Add(i, FileProblems::npos, bError, pszCode,
                 "node detail " + Quoted(record.second) + strWhat, &record);
    };
    for (size_t i = 0; i < vecRow.size(); ++i) {
        const GuidFacts& guid = facts.vecGuid[i];
        if (facts.vecSameName[i] >= 0) {
            const size_t nFirst = static_cast<size_t>(facts.vecSameName[i]);
            add(i, true, "duplicate-name",
                " " + SameNameAs(nameAt(i), nameAt(nFirst), file.Where(nFirst)));
        }
        if (facts.vecSameGuid[i] >= 0) {
            const size_t nFirst = static_cast<size_t>(facts.vecSameGuid[i]);
            add(i, true, "duplicate-guid",
                " has the GUID text of " + Quoted(nameAt(nFirst)) + " at " + file.Where(nFirst) +
                    ": both name the same drawing and slide files");
        }
        if (guid.pszNotAFileName != nullptr)
            add(i, true, "guid-not-file-name",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " cannot name a file: " + Utf8(guid.pszNotAFileName));
        else if (!guid.bCanonical)
            add(i, false, "guid-not-canonical",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " is not in the canonical form of 36 upper-case hexadecimal digits and "
                    "hyphens");
        for (size_t nKind = 0; nKind < 2 && guid.pszNotAFileName == nullptr; ++nKind)
            if (vecFound[i][nKind] != 1)
                add(i, true, kFileKinds[nKind].pszMissing,
                    std::string(": its ") + kFileKinds[nKind].pszWord + " file " +
                        Utf8(vecRow[i].GetGuid()) + kFileKinds[nKind].pszExtension +
                        (vecFound[i][nKind] == 0 ? " is missing" : " is not a regular file"));
    }
}

// Drawings and slides that no node detail names.
void AddUnnamed(const ResourceFiles& files, const std::string& strFolderShown,
                std::vector<Problem>& vecProblem)
{
    const fs::path folderShown = fs::u8path(strFolderShown);
    for (const std::string& strName : files.Unnamed()) {
        const char cLast = strName.back();
        const FileKind& kind = kFileKinds[cLast == 'g' || cLast == 'G' ? 0 : 1];
        Problem problem;
        problem.strPath = (folderShown / fs::u8path(strName)).u8string();
        problem.bError = false;
        problem.strCode = kind.pszUnnamed;
        problem.strMessage = std::string("no node detail names this ") + kind.pszWord + " file";
        vecProblem.push_back(std::move(problem));
    }
}

// Loads a library; its report's problems go to `file`, and into the findings
// when it does not load.
template <typename Manager>
bool Loaded(Manager* pLib, FileProblems& file, Findings& findings)
{
    const bool bLoaded = pLib->Load();
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded)
        file.MoveInto(findings.vecProblem);
    return bLoaded;
}

// Checks the node details and their files.
void CheckNodeDetails(const DataDir& dir, Progress& progress, Findings& findings)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    const CString strFile = pLib->GetFileName();
    const CString strFolder = DataDir::ResourceFolder();  // the drawings lie beside the file
    // Listed on another thread while the library loads: a folder of hundreds
    // of thousands of files takes about as long to list as its library to
    // load. Threads other than this one call nothing of the library.
    std::future<ResourceFiles> listing =
        std::async(std::launch::async,
                   [folder = DataDir::Native(strFolder)] { return ResourceFiles::List(folder); });

    progress.Step("reading NodeDetailDataEx.xml");
    FileProblems file(dir.Show(strFile), DataDir::Native(strFile), "NodeDetailResDataRow", nullptr);
    if (!Loaded(pLib, file, findings))
        return;
    std::vector<NodeDetailResData> vecRow;
    pLib->GetVecNodeDetailResData(vecRow);
    file.Expect(vecRow.size());
    findings.nNodeDetails = static_cast<int>(vecRow.size());
    progress.Step("checking " + std::to_string(vecRow.size()) + " node details");
    NodeDetailFacts facts = GatherFacts(vecRow);
    ResourceFiles files = listing.get();
    AddNodeDetailProblems(vecRow, facts, files.FindAll(facts.lookups), file);
    file.MoveInto(findings.vecProblem);
    AddUnnamed(files, dir.Show(strFolder), findings.vecProblem);
}

void CheckFittings(const DataDir& dir, Progress& progress, Findings& findings)
{
    CFitDataManager* pLib = ZkFitDataManager();
    const CString strFile = pLib->GetFileName();
    progress.Step("reading FitDataEx.xml");
    FileProblems file(dir.Show(strFile), DataDir::Native(strFile), "FitInfo", "FitRow");
    if (!Loaded(pLib, file, findings))
        return;
    std::vector<FittingInfo> vecGroup;
    pLib->GetVecFitInfo(vecGroup);

    progress.Step("checking fittings");
    std::vector<size_t> vecCount;
    for (FittingInfo& group : vecGroup)
        vecCount.push_back(group.GetVecFitData().size());
    file.Expect(vecGroup.size(), vecCount);
    findings.nFittingGroups = static_cast<int>(vecGroup.size());
    std::unordered_map<int, size_t> types;
    for (size_t g = 0; g < vecGroup.size(); ++g) {
        const int nType = static_cast<int>(vecGroup[g].GetFitType());
        const auto type = types.emplace(nType, g);
        if (!type.second)
            file.Add(g, FileProblems::npos, true, "fitting-type-shared",
                     "fitting group of type " + std::to_string(nType) +
                         " has the type of the group at " + file.Where(type.first->second) +
                         ": lookups by type see only the first",
                     nullptr);
        const std::vector<FittingData>& vecFit = vecGroup[g].GetVecFitData();
        findings.nFittings += static_cast<int>(vecFit.size());
        std::vector<uint64_t> vecHash;
        for (const FittingData& fit : vecFit)
            vecHash.push_back(FoldedHash(fit.GetDisplayName()));
        auto nameAt = [&vecFit](size_t i) { return vecFit[i].GetDisplayName(); };
        const std::vector<long> vecSame = FirstEqualNoCase(
            vecHash, [&](size_t a, size_t b) { return nameAt(a).CompareNoCase(nameAt(b)) == 0; });
        for (size_t r = 0; r < vecFit.size(); ++r) {
            if (vecSame[r] < 0)
                continue;
            const size_t nFirst = static_cast<size_t>(vecSame[r]);
            const std::pair<CString, CString> record(vecFit[r].GUID(), nameAt(r));
            file.Add(g, r, true, "fitting-duplicate-name",
                     "fitting " + Quoted(record.second) + " " +
                         SameNameAs(record.second, nameAt(nFirst),
                                    file.Where(g, nFirst) + " in its group"),
                     &record);
        }
    }
    file.MoveInto(findings.vecProblem);
}

// The code of an enumerator, from a table in the enumeration's order.
template <typename Enum, size_t N>
const char* CodeOf(Enum e, const char* const (&codes)[N], const char* fallback)
{
    const auto i = static_cast<size_t>(e);
    return i < N ? codes[i] : fallback;
}

const char* OutcomeCode(ZkOutcome eOutcome)
{
    // Asked only of failures: nothing done counts as the system's.
    static const char* const kCodes[] = {
        "system-error",          // kNone
        "system-error",          // kDone
        "missing-file",          // kMissing
        "not-regular-file",      // kNotRegularFile
        "not-permitted",         // kNotPermitted
        "system-error",          // kSystemError
        "malformed",             // kMalformed
        "wrong-root",            // kWrongRoot
        "undecodable-encoding",  // kUndecodableEncoding
        "copy-failed",           // kCopyFailed
        "no-such-record",        // kNoSuchRecord
        "locked",                // kLocked
    };
    static_assert(std::size(kCodes) == static_cast<size_t>(ZkOutcome::kLocked) + 1,
                  "a code for every outcome");
    return CodeOf(eOutcome, kCodes, "system-error");
}

const char* WarningCode(ZkWarningKind eKind)
{
    static const char* const kCodes[] = {"value-not-read",    "character-replaced",
                                         "guid-refused",      "copy-failed",
                                         "ampersand-as-text", "encoding-by-byte-order-mark"};
    static_assert(
        std::size(kCodes) == static_cast<size_t>(ZkWarningKind::kEncodingByByteOrderMark) + 1,
        "a code for every warning");
    return CodeOf(eKind, kCodes, "copy-failed");
}

}  // namespace

Findings Check(const DataDir& dir, Progress& progress)
{
    Findings findings;
    CheckNodeDetails(dir, progress, findings);
    CheckFittings(dir, progress, findings);
    return findings;
}

void AddReport(const ZkReport& report, const std::string& strPath, std::vector<Problem>& vecProblem)
{
    if (!report.Succeeded()) {
        Problem problem;
        problem.strPath = strPath;
        problem.nLine = report.nLine;
        problem.nColumn = report.nColumn;
        problem.strCode = OutcomeCode(report.eOutcome);
        problem.strMessage = Utf8(report.Describe());
        vecProblem.push_back(std::move(problem));
    }
    for (const ZkWarning& warning : report.vecWarning) {
        Problem problem;
        problem.strPath = strPath;
        problem.nLine = warning.nLine;
        problem.nColumn = warning.nColumn;
        problem.bError = false;
        problem.strCode = WarningCode(warning.eKind);
        problem.strMessage = Utf8(warning.strMessage);
        vecProblem.push_back(std::move(problem));
    }
}

std::string FormatProblem(const Problem& problem)
{
    std::string text = problem.strPath;
    if (problem.nLine > 0) {
        text += ":" + std::to_string(problem.nLine);
        if (problem.nColumn > 0)
            text += ":" + std::to_string(problem.nColumn);
    }
    text += problem.bError ? ": error: " : ": warning: ";
    return text + OneLine(problem.strMessage) + "\n";
}

void AddErrorLines(const ZkReport& report, const std::string& strPath,
                   std::vector<std::string>& vecError)
{
    std::vector<Problem> vecProblem;
    AddReport(report, strPath, vecProblem);
    for (const Problem& problem : vecProblem)
        vecError.push_back(FormatProblem(problem));
}

void AddNoteLines(const ZkReport& report, const std::string& strPath,
                  std::vector<std::string>& vecNote)
{
    for (const ZkMergeNote& note : report.vecMerge)
        vecNote.push_back(strPath + ": note: " + OneLine(Utf8(note.strMessage)) + "\n");
}

}  // namespace zknd
