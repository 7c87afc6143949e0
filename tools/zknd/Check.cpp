#include "Check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <utility>

#include "Hash.h"
#include "Library.h"
#include "ResourceFiles.h"
#include "Text.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

// Tables of hundreds of thousands of strings, kept until the process ends:
// giving them back one by one would take longer than some of the checks, and
// a program about to exit need not. Reachable, so no leak.
std::vector<std::shared_ptr<const void>>& Kept()
{
    static auto* pKept = new std::vector<std::shared_ptr<const void>>();
    return *pKept;
}

void Keep(std::shared_ptr<const void> pTable)
{
    Kept().push_back(std::move(pTable));
}

struct Pos {
    int nLine = 0;
    int nColumn = 0;
};

// Where the records of a library file start: the elements named pszItem right
// under the root element, and those named pszSub right under each of them,
// in document order. The file was well-formed enough to load; this only
// finds '<' of each, skipping comments, CDATA, processing instructions, the
// DOCTYPE and quoted attribute values. Nothing for UTF-16 files.
struct Layout {
    std::vector<Pos> vecItem;
    std::vector<std::vector<Pos>> vecSub;
};

class Scanner {
public:
    explicit Scanner(const std::string& bytes) : m_s(bytes) {}

    Layout Scan(const char* pszItem, const char* pszSub)
    {
        Layout layout;
        if (m_s.size() >= 2 &&
            (m_s[0] == '\0' || m_s[1] == '\0' || static_cast<unsigned char>(m_s[0]) >= 0xFE))
            return layout;
        if (m_s.compare(0, 3, "\xEF\xBB\xBF") == 0)
            m_i = m_nCounted = m_nColumnAt = 3;
        int nDepth = 0;
        bool bInItem = false;
        while ((m_i = m_s.find('<', m_i)) != std::string::npos) {
            const size_t nAt = m_i;
            if (Starts("<!--")) {
                SkipPast("-->");
            } else if (Starts("<![CDATA[")) {
                SkipPast("]]>");
            } else if (Starts("<?")) {
                SkipPast("?>");
            } else if (Starts("<!")) {
                SkipDeclaration();
            } else if (Starts("</")) {
                SkipPast(">");
                if (--nDepth <= 1)
                    bInItem = false;
            } else {
                const size_t nName = ++m_i;
                m_i = std::min(m_s.find_first_of(" \t\r\n/>", m_i), m_s.size());
                const size_t nNameLength = m_i - nName;
                const bool bEmpty = SkipTag();
                auto named = [&](const char* psz) {
                    return psz != nullptr && m_s.compare(nName, nNameLength, psz) == 0;
                };
                if (nDepth == 1 && named(pszItem)) {
                    layout.vecItem.push_back(PosOf(nAt));
                    layout.vecSub.emplace_back();
                    bInItem = !bEmpty;
                } else if (nDepth == 2 && bInItem && named(pszSub)) {
                    layout.vecSub.back().push_back(PosOf(nAt));
                }
                if (!bEmpty)
                    ++nDepth;
            }
        }
        return layout;
    }

private:
    bool Starts(const char* psz) const { return m_s.compare(m_i, std::strlen(psz), psz) == 0; }

    void SkipPast(const char* psz)
    {
        const size_t at = m_s.find(psz, m_i);
        m_i = at == std::string::npos ? m_s.size() : at + std::strlen(psz);
    }

    // Past the '>' of a start tag; true when it was "/>".
    bool SkipTag()
    {
        for (char quote = 0; m_i < m_s.size(); ++m_i) {
            const char c = m_s[m_i];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return m_s[m_i++ - 1] == '/';
            }
        }
        return true;
    }

    // "<!DOCTYPE ...>", with an internal subset in brackets and quoted texts.
    void SkipDeclaration()
    {
        int nBrackets = 0;
        for (char quote = 0; m_i < m_s.size(); ++m_i) {
            const char c = m_s[m_i];
            if (quote != 0)
                quote = c == quote ? 0 : quote;
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '[')
                ++nBrackets;
            else if (c == ']')
                --nBrackets;
            else if (c == '>' && nBrackets <= 0)
                break;
        }
        m_i = std::min(m_i + 1, m_s.size());
    }

    // Line and column of a byte position, counted on from the last one asked
    // for: positions are asked for in ascending order, so each byte is
    // counted once.
    Pos PosOf(size_t nAt)
    {
        const auto from = m_s.begin() + static_cast<std::ptrdiff_t>(m_nCounted);
        const auto to = m_s.begin() + static_cast<std::ptrdiff_t>(nAt);
        const auto nLines = std::count(from, to, '\n');
        if (nLines > 0) {
            m_nLine += static_cast<int>(nLines);
            m_nColumnAt = m_s.rfind('\n', nAt - 1) + 1;
            m_nColumn = 1;
        }
        // Characters, not bytes: UTF-8 continuation bytes do not count.
        for (; m_nColumnAt < nAt; ++m_nColumnAt)
            m_nColumn += (static_cast<unsigned char>(m_s[m_nColumnAt]) & 0xC0) != 0x80 ? 1 : 0;
        m_nCounted = nAt;
        return Pos{m_nLine, m_nColumn};
    }

    const std::string& m_s;
    size_t m_i = 0;
    size_t m_nCounted = 0;   // lines counted up to here
    size_t m_nColumnAt = 0;  // the column is m_nColumn here
    int m_nLine = 1;
    int m_nColumn = 1;
};

Layout ScanFile(const fs::path& file, const char* pszItem, const char* pszSub)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<size_t>(in.tellg()) : 0u, '\0');
    in.seekg(0);
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return Scanner(bytes).Scan(pszItem, pszSub);
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
        const Pos pos = At(nItem, nSub);
        return pos.nLine > 0 ? "line " + std::to_string(pos.nLine)
                             : "record " + std::to_string((nSub == npos ? nItem : nSub) + 1);
    }

    // A problem at an item or sub-item; pRecord names the record it is about.
    void Add(size_t nItem, size_t nSub, bool bError, const char* pszCode, std::string strMessage,
             const std::pair<CString, CString>* pRecord)
    {
        Problem problem;
        problem.strPath = m_strPath;
        const Pos pos = At(nItem, nSub);
        problem.nLine = pos.nLine;
        problem.nColumn = pos.nColumn;
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
    Pos At(size_t nItem, size_t nSub)
    {
        if (!m_pLayout) {
            m_pLayout.reset(new Layout(ScanFile(m_file, m_pszItem, m_pszSub)));
            m_bPlaced = m_pLayout->vecItem.size() == m_nItems;
            for (size_t i = 0; m_bPlaced && i < m_vecSubs.size(); ++i)
                m_bPlaced = m_pLayout->vecSub[i].size() == m_vecSubs[i];
        }
        if (!m_bPlaced)
            return Pos();
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

std::string Quoted(const CString& text)
{
    return "\"" + Utf8(text) + "\"";
}

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

// Checks the node details and their files.
void CheckNodeDetails(const DataDir& dir, Progress& progress, Findings& findings)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    const CString strFile = pLib->GetFileName();
    const CString strFolder = DataDir::ResourceFolder();  // the drawings lie beside the file
    // Listed on another thread while the library loads: a folder of hundreds
    // of thousands of files takes about as long to list as its library to
    // load. Threads other than this one call nothing of the library but const
    // members of the records it handed out.
    std::future<ResourceFiles> listing =
        std::async(std::launch::async,
                   [folder = DataDir::Native(strFolder)] { return ResourceFiles::List(folder); });

    progress.Step("reading NodeDetailDataEx.xml");
    const bool bLoaded = pLib->Load();
    FileProblems file(dir.Show(strFile), DataDir::Native(strFile), "NodeDetailResDataRow", nullptr);
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded) {
        file.MoveInto(findings.vecProblem);
        return;
    }
    auto pRows = std::make_shared<std::vector<NodeDetailResData>>();
    std::vector<NodeDetailResData>& vecRow = *pRows;
    pLib->GetVecNodeDetailResData(vecRow);
    Keep(pRows);
    file.Expect(vecRow.size());
    findings.nNodeDetails = static_cast<int>(vecRow.size());

    progress.Step("checking " + std::to_string(vecRow.size()) + " node details");
    auto nameAt = [&vecRow](size_t i) { return vecRow[i].GetDisplayName(); };
    // One pass over the records on this thread while the folder is listed on
    // the other: a third would take time from both on two cores.
    std::vector<GuidFacts> vecGuid(vecRow.size());
    ResourceFiles::Lookups lookups;
    lookups.Reserve(vecRow.size());
    std::vector<uint64_t> vecNameHash(vecRow.size());
    for (size_t i = 0; i < vecRow.size(); ++i) {
        const CString strGuid = vecRow[i].GetGuid();
        GuidFacts& facts = vecGuid[i];
        // A canonical text is a plain file name.
        facts.bCanonical = IsCanonicalGuid(strGuid);
        facts.pszNotAFileName = nullptr;
        if (!facts.bCanonical)
            ZkIsPlainFileName(strGuid, &facts.pszNotAFileName);
        lookups.Add(strGuid);
        vecNameHash[i] = FoldedHash(nameAt(i));
    }
    // Equal names and GUID texts, and the table the files are looked up in,
    // on this thread while the other still lists the folder.
    const std::vector<long> vecSameName = FirstEqualNoCase(
        vecNameHash, [&](size_t a, size_t b) { return nameAt(a).CompareNoCase(nameAt(b)) == 0; });
    std::vector<uint64_t> vecGuidHash(lookups.Size());
    for (size_t i = 0; i < vecGuidHash.size(); ++i)
        vecGuidHash[i] = lookups.Hash(i);
    const std::vector<long> vecSameGuid =
        FirstEqualNoCase(vecGuidHash, [&vecRow](size_t a, size_t b) {
            return vecRow[a].GetGuid().CompareNoCase(vecRow[b].GetGuid()) == 0;
        });
    lookups.MakeTable();
    ResourceFiles files = listing.get();
    std::vector<std::array<int, 2>> vecFound = files.FindAll(lookups);

    auto add = [&](size_t i, bool bError, const char* pszCode, const std::string& strWhat) {
        const std::pair<CString, CString> record(vecRow[i].GetGuid(), nameAt(i));
        file.Add(i, FileProblems::npos, bError, pszCode,
                 "node detail " + Quoted(record.second) + strWhat, &record);
    };
    for (size_t i = 0; i < vecRow.size(); ++i) {
        const GuidFacts& facts = vecGuid[i];
        if (vecSameName[i] >= 0) {
            const size_t nFirst = static_cast<size_t>(vecSameName[i]);
            add(i, true, "duplicate-name",
                " " + SameNameAs(nameAt(i), nameAt(nFirst), file.Where(nFirst)));
        }
        if (vecSameGuid[i] >= 0) {
            const size_t nFirst = static_cast<size_t>(vecSameGuid[i]);
            add(i, true, "duplicate-guid",
                " has the GUID text of " + Quoted(nameAt(nFirst)) + " at " + file.Where(nFirst) +
                    ": both name the same drawing and slide files");
        }
        if (facts.pszNotAFileName != nullptr)
            add(i, true, "guid-not-file-name",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " cannot name a file: " + Utf8(facts.pszNotAFileName));
        else if (!facts.bCanonical)
            add(i, false, "guid-not-canonical",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " is not in the canonical form of 36 upper-case hexadecimal digits and "
                    "hyphens");
        for (size_t nKind = 0; nKind < 2 && facts.pszNotAFileName == nullptr; ++nKind)
            if (vecFound[i][nKind] != 1)
                add(i, true, kFileKinds[nKind].pszMissing,
                    std::string(": its ") + kFileKinds[nKind].pszWord + " file " +
                        Utf8(vecRow[i].GetGuid()) + kFileKinds[nKind].pszExtension +
                        (vecFound[i][nKind] == 0 ? " is missing" : " is not a regular file"));
    }
    file.MoveInto(findings.vecProblem);

    const fs::path folderShown = fs::u8path(dir.Show(strFolder));
    for (const std::string& strName : files.Unnamed()) {
        const char cLast = strName.back();
        const FileKind& kind = kFileKinds[cLast == 'g' || cLast == 'G' ? 0 : 1];
        Problem problem;
        problem.strPath = (folderShown / fs::u8path(strName)).u8string();
        problem.bError = false;
        problem.strCode = kind.pszUnnamed;
        problem.strMessage = std::string("no node detail names this ") + kind.pszWord + " file";
        findings.vecProblem.push_back(std::move(problem));
    }
}

void CheckFittings(const DataDir& dir, Progress& progress, Findings& findings)
{
    CFitDataManager* pLib = ZkFitDataManager();
    const CString strFile = pLib->GetFileName();
    progress.Step("reading FitDataEx.xml");
    const bool bLoaded = pLib->Load();
    FileProblems file(dir.Show(strFile), DataDir::Native(strFile), "FitInfo", "FitRow");
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded) {
        file.MoveInto(findings.vecProblem);
        return;
    }
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

void DropKept()
{
    Kept().clear();
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

}  // namespace zknd
