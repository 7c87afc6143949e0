#include "Check.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <future>
#include <iterator>
#include <unordered_map>
#include <utility>

#include "Text.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

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

// The canonical GUID text: 36 characters, upper-case hexadecimal digits and
// hyphens as in "6F9619FF-8B86-D011-B42D-00C04FC964FF".
bool IsCanonicalGuid(const CString& strGuid)
{
    if (strGuid.GetLength() != 36)
        return false;
    const wchar_t* p = strGuid.GetString();
    for (int i = 0; i < 36; ++i) {
        const bool bHyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (bHyphen ? p[i] != L'-'
                    : !((p[i] >= L'0' && p[i] <= L'9') || (p[i] >= L'A' && p[i] <= L'F')))
            return false;
    }
    return true;
}

// Why the GUID text cannot name the drawing and slide files, or null when it
// can.
const wchar_t* WhyNotAFileName(const CString& strGuid)
{
    const wchar_t* pszWhy = nullptr;
    return ZkIsPlainFileName(strGuid, &pszWhy) ? nullptr : pszWhy;
}

// Problems of one library file: the file's own first, then by position.
class FileProblems {
public:
    FileProblems(std::string strPath, Layout layout, size_t nItems)
        : m_strPath(std::move(strPath)),
          m_layout(std::move(layout)),
          m_bPlaced(m_layout.vecItem.size() == nItems)
    {
    }

    // Positions of the items are trusted only when there are as many as the
    // library read, and of the sub-items when every item has its own.
    void TrustSubs(const std::vector<size_t>& vecCount)
    {
        for (size_t i = 0; m_bPlaced && i < vecCount.size(); ++i)
            m_bPlaced = m_layout.vecSub[i].size() == vecCount[i];
    }

    // "line N" where the item is known to start, else "record N".
    std::string Where(size_t nItem, size_t nSub = npos) const
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
    Pos At(size_t nItem, size_t nSub) const
    {
        if (!m_bPlaced)
            return Pos();
        return nSub == npos ? m_layout.vecItem[nItem] : m_layout.vecSub[nItem][nSub];
    }

    std::string m_strPath;
    Layout m_layout;
    bool m_bPlaced;
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

void CheckNodeDetails(const DataDir& dir, Progress& progress, Findings& findings)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    const CString strFile = pLib->GetFileName();
    int nFolder = strFile.GetLength();
    while (nFolder > 0 && strFile.GetAt(nFolder - 1) != L'\\')
        --nFolder;
    const CString strFolder(strFile.GetString(), nFolder);  // the drawings lie beside it
    // Done on one other thread while the library loads, first what is needed
    // first: a folder of hundreds of thousands of files takes about as long to
    // list as its library to load. That thread calls nothing of the library.
    std::promise<Layout> scanned;
    std::future<Layout> scan = scanned.get_future();
    std::future<ResourceFiles> listing = std::async(
        std::launch::async,
        [&scanned, library = DataDir::Native(strFile), folder = DataDir::Native(strFolder)] {
            try {
                scanned.set_value(ScanFile(library, "NodeDetailResDataRow", nullptr));
            } catch (...) {
                scanned.set_exception(std::current_exception());
            }
            return ResourceFiles(ListFolder(folder));
        });

    progress.Step("reading NodeDetailDataEx.xml");
    const bool bLoaded = pLib->Load();
    std::vector<NodeDetailResData> vecRow;
    pLib->GetVecNodeDetailResData(vecRow);
    FileProblems file(dir.Show(strFile), bLoaded ? scan.get() : Layout(), vecRow.size());
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded) {
        file.MoveInto(findings.vecProblem);
        return;
    }

    progress.Step("checking " + std::to_string(vecRow.size()) + " node details");
    findings.nNodeDetails = static_cast<int>(vecRow.size());
    // One pass over the records: what the checks need of each, and its GUID
    // text when its files are to be looked for.
    std::vector<uint64_t> vecNameHash;
    std::vector<uint64_t> vecGuidHash;
    std::vector<const wchar_t*> vecWhyNot;
    std::vector<bool> vecCanonical;
    std::vector<CString> vecFileGuid;
    std::vector<size_t> vecFileOf;
    for (size_t i = 0; i < vecRow.size(); ++i) {
        vecNameHash.push_back(FoldedHash(vecRow[i].GetDisplayName()));
        CString strGuid = vecRow[i].GetGuid();
        vecGuidHash.push_back(FoldedHash(strGuid));
        vecWhyNot.push_back(WhyNotAFileName(strGuid));
        vecCanonical.push_back(IsCanonicalGuid(strGuid));
        if (vecWhyNot.back() == nullptr) {
            vecFileGuid.push_back(std::move(strGuid));
            vecFileOf.push_back(i);
        }
    }
    auto nameAt = [&vecRow](size_t i) { return vecRow[i].GetDisplayName(); };
    const std::vector<long> vecSameName = FirstEqualNoCase(vecNameHash, nameAt);
    const std::vector<long> vecSameGuid =
        FirstEqualNoCase(vecGuidHash, [&vecRow](size_t i) { return vecRow[i].GetGuid(); });
    auto add = [&](size_t i, bool bError, const char* pszCode, const std::string& strWhat) {
        const std::pair<CString, CString> record(vecRow[i].GetGuid(), nameAt(i));
        file.Add(i, FileProblems::npos, bError, pszCode,
                 "node detail " + Quoted(record.second) + strWhat, &record);
    };
    for (size_t i = 0; i < vecRow.size(); ++i) {
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
        if (vecWhyNot[i] != nullptr)
            add(i, true, "guid-not-file-name",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " cannot name a file: " + Utf8(vecWhyNot[i]));
        else if (!vecCanonical[i])
            add(i, false, "guid-not-canonical",
                ": GUID text " + Quoted(vecRow[i].GetGuid()) +
                    " is not in the canonical form of 36 upper-case hexadecimal digits and "
                    "hyphens");
    }

    progress.Step("looking through the resource folder");
    ResourceFiles files = listing.get();
    const std::vector<std::array<int, 2>> vecFound = files.FindAll(vecFileGuid);
    for (size_t k = 0; k < vecFileOf.size(); ++k)
        for (size_t nKind = 0; nKind < 2; ++nKind)
            if (vecFound[k][nKind] != 1)
                add(vecFileOf[k], true, kFileKinds[nKind].pszMissing,
                    std::string(": its ") + kFileKinds[nKind].pszWord + " file " +
                        Utf8(vecFileGuid[k]) + kFileKinds[nKind].pszExtension +
                        (vecFound[k][nKind] == 0 ? " is missing" : " is not a regular file"));
    file.MoveInto(findings.vecProblem);

    const fs::path folderShown = fs::u8path(dir.Show(strFolder));
    for (const std::string& strName : files.Unnamed()) {
        const FileKind& kind = kFileKinds[FoldedKey(FromUtf8(strName)).back() == L'g' ? 0 : 1];
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
    std::vector<FittingInfo> vecGroup;
    pLib->GetVecFitInfo(vecGroup);
    const Layout layout =
        bLoaded ? ScanFile(DataDir::Native(strFile), "FitInfo", "FitRow") : Layout();
    FileProblems file(dir.Show(strFile), layout, vecGroup.size());
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded) {
        file.MoveInto(findings.vecProblem);
        return;
    }

    progress.Step("checking fittings");
    std::vector<size_t> vecCount;
    for (FittingInfo& group : vecGroup)
        vecCount.push_back(group.GetVecFitData().size());
    file.TrustSubs(vecCount);
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
        const std::vector<long> vecSame = FirstEqualNoCase(vecHash, nameAt);
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

const char* OutcomeCode(ZkOutcome eOutcome)
{
    switch (eOutcome) {
    case ZkOutcome::kMissing:
        return "missing-file";
    case ZkOutcome::kNotRegularFile:
        return "not-regular-file";
    case ZkOutcome::kNotPermitted:
        return "not-permitted";
    case ZkOutcome::kMalformed:
        return "malformed";
    case ZkOutcome::kWrongRoot:
        return "wrong-root";
    case ZkOutcome::kUndecodableEncoding:
        return "undecodable-encoding";
    case ZkOutcome::kCopyFailed:
        return "copy-failed";
    case ZkOutcome::kNoSuchRecord:
        return "no-such-record";
    default:
        return "system-error";
    }
}

const char* WarningCode(ZkWarningKind eKind)
{
    switch (eKind) {
    case ZkWarningKind::kValueNotRead:
        return "value-not-read";
    case ZkWarningKind::kCharacterReplaced:
        return "character-replaced";
    case ZkWarningKind::kGuidRefused:
        return "guid-refused";
    default:
        return "copy-failed";
    }
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

namespace {

// Names as the system matches them: exactly on POSIX systems, ignoring the
// letter case of ASCII letters on Windows.
char SystemUnit(char c)
{
#if defined(_WIN32)
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
#endif
    return c;
}

uint64_t SystemHash(const char* p, size_t n)
{
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(SystemUnit(p[i]))) * 1099511628211ull;
    return h;
}

bool SystemEqual(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (SystemUnit(a[i]) != SystemUnit(b[i]))
            return false;
    return true;
}

// 0 for a name that a record's drawing has, 1 for a slide's, else -1.
int KindOf(const std::string& strName)
{
    if (strName.size() < 4)
        return -1;
    const char* p = strName.data() + strName.size() - 4;
    return SystemEqual(p, ".dwg", 4) ? 0 : SystemEqual(p, ".sld", 4) ? 1 : -1;
}

bool IsResourceFile(const std::string& strName)
{
    if (strName.size() < 4)
        return false;
    std::string ext = strName.substr(strName.size() - 4);
    for (char& c : ext)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return ext == ".dwg" || ext == ".sld";
}

}  // namespace

ResourceFiles::Key ResourceFiles::KeyOf(const char* pName, size_t nLength, size_t nOwner, int nKind,
                                        bool bRegular)
{
    Key key;
    key.nHash = SystemHash(pName, nLength);
    key.nOwner = static_cast<uint32_t>(nOwner);
    key.nKind = static_cast<uint8_t>(nKind);
    key.bRegular = bRegular;
    key.nLength = nLength <= sizeof key.aText ? static_cast<uint8_t>(nLength) : 0;
    std::memcpy(key.aText, pName, key.nLength);
    return key;
}

ResourceFiles::ResourceFiles(std::vector<FolderEntry> vecEntry)
    : m_vecEntry(std::move(vecEntry)), m_vecNamed(m_vecEntry.size(), false)
{
    for (size_t i = 0; i < m_vecEntry.size(); ++i) {
        const std::string& strName = m_vecEntry[i].strName;
        const int nKind = KindOf(strName);
        if (nKind >= 0)
            m_vecKey.push_back(
                KeyOf(strName.data(), strName.size() - 4, i, nKind, m_vecEntry[i].bRegular));
    }
    std::sort(m_vecKey.begin(), m_vecKey.end(),
              [](const Key& a, const Key& b) { return a.nHash < b.nHash; });
}

std::vector<std::array<int, 2>> ResourceFiles::FindAll(const std::vector<CString>& vecGuid)
{
    std::vector<Key> vecWanted;
    vecWanted.reserve(vecGuid.size());
    char aAscii[sizeof Key::aText];
    for (size_t k = 0; k < vecGuid.size(); ++k) {
        // GUID texts are short ASCII as a rule: no string is made for them.
        const CString& strGuid = vecGuid[k];
        const wchar_t* p = strGuid.GetString();
        size_t n = static_cast<size_t>(strGuid.GetLength());
        bool bAscii = n <= sizeof aAscii;
        for (size_t i = 0; bAscii && i < n; ++i) {
            bAscii = p[i] > 0 && p[i] < 0x80;
            aAscii[i] = static_cast<char>(p[i]);
        }
        const std::string strUtf8 = bAscii ? std::string() : Utf8(strGuid);
        vecWanted.push_back(
            KeyOf(bAscii ? aAscii : strUtf8.data(), bAscii ? n : strUtf8.size(), k, 0, false));
    }
    std::sort(vecWanted.begin(), vecWanted.end(),
              [](const Key& a, const Key& b) { return a.nHash < b.nHash; });
    std::vector<std::array<int, 2>> vecFound(vecGuid.size(), std::array<int, 2>{0, 0});
    size_t e = 0;
    for (const Key& wanted : vecWanted) {
        while (e < m_vecKey.size() && m_vecKey[e].nHash < wanted.nHash)
            ++e;
        for (size_t k = e; k < m_vecKey.size() && m_vecKey[k].nHash == wanted.nHash; ++k) {
            const Key& have = m_vecKey[k];
            bool bSame = have.nLength == wanted.nLength;
            if (bSame && wanted.nLength != 0) {
                bSame = SystemEqual(have.aText, wanted.aText, wanted.nLength);
            } else if (bSame) {
                // Names too long to be held are compared where they are.
                const std::string strGuid = Utf8(vecGuid[wanted.nOwner]);
                const std::string& strName = m_vecEntry[have.nOwner].strName;
                bSame = strName.size() == strGuid.size() + 4 &&
                        SystemEqual(strName.data(), strGuid.data(), strGuid.size());
            }
            if (bSame) {
                vecFound[wanted.nOwner][have.nKind] = have.bRegular ? 1 : -1;
                m_vecNamed[have.nOwner] = true;
            }
        }
    }
    return vecFound;
}

std::vector<std::string> ResourceFiles::Unnamed() const
{
    std::vector<std::string> vecName;
    for (size_t i = 0; i < m_vecEntry.size(); ++i)
        if (!m_vecNamed[i] && m_vecEntry[i].bRegular && IsResourceFile(m_vecEntry[i].strName))
            vecName.push_back(m_vecEntry[i].strName);
    std::sort(vecName.begin(), vecName.end());
    return vecName;
}

uint64_t FoldedHash(const CString& text)
{
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    const wchar_t* p = text.GetString();
    for (int k = 0; k < text.GetLength(); ++k) {
        const wchar_t c =
            p[k] >= L'A' && p[k] <= L'Z' ? static_cast<wchar_t>(p[k] - L'A' + L'a') : p[k];
        h = (h ^ (static_cast<uint64_t>(c) & 0xFFFF)) * 1099511628211ull;
    }
    return h;
}

}  // namespace zknd
