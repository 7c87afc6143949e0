#include "Check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "Text.h"
#include "frame/ZkNodeDetail.h"

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
            m_i = 3;
        int nDepth = 0;
        bool bInItem = false;
        while (SkipTo("<")) {
            const Pos at{m_nLine, m_nColumn};
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
                Advance(1);
                const std::string name = Name();
                const bool bEmpty = SkipTag();
                if (nDepth == 1 && name == pszItem) {
                    layout.vecItem.push_back(at);
                    layout.vecSub.emplace_back();
                    bInItem = !bEmpty;
                } else if (nDepth == 2 && bInItem && pszSub != nullptr && name == pszSub) {
                    layout.vecSub.back().push_back(at);
                }
                if (!bEmpty)
                    ++nDepth;
            }
        }
        return layout;
    }

private:
    bool Starts(const char* psz) const { return m_s.compare(m_i, std::strlen(psz), psz) == 0; }

    // Moves on by n bytes, counting lines and the characters of the line.
    void Advance(size_t n)
    {
        for (const size_t nEnd = std::min(m_i + n, m_s.size()); m_i < nEnd; ++m_i) {
            const unsigned char c = static_cast<unsigned char>(m_s[m_i]);
            if (c == '\n') {
                ++m_nLine;
                m_nColumn = 1;
            } else if ((c & 0xC0) != 0x80) {
                ++m_nColumn;
            }
        }
    }

    bool SkipTo(const char* psz)
    {
        const size_t at = m_s.find(psz, m_i);
        Advance((at == std::string::npos ? m_s.size() : at) - m_i);
        return m_i < m_s.size();
    }

    void SkipPast(const char* psz)
    {
        SkipTo(psz);
        Advance(std::strlen(psz));
    }

    std::string Name()
    {
        const size_t nStart = m_i;
        while (m_i < m_s.size() && std::strchr(" \t\r\n/>", m_s[m_i]) == nullptr)
            Advance(1);
        return m_s.substr(nStart, m_i - nStart);
    }

    // Past the '>' of a start tag; true when it was "/>".
    bool SkipTag()
    {
        char quote = 0;
        for (; m_i < m_s.size(); Advance(1)) {
            const char c = m_s[m_i];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                const bool bEmpty = m_s[m_i - 1] == '/';
                Advance(1);
                return bEmpty;
            }
        }
        return true;
    }

    // "<!DOCTYPE ...>", with an internal subset in brackets and quoted texts.
    void SkipDeclaration()
    {
        int nBrackets = 0;
        char quote = 0;
        for (; m_i < m_s.size(); Advance(1)) {
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
        Advance(1);
    }

    const std::string& m_s;
    size_t m_i = 0;
    int m_nLine = 1;
    int m_nColumn = 1;
};

Layout ScanFile(const fs::path& file, const char* pszItem, const char* pszSub)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Scanner(bytes).Scan(pszItem, pszSub);
}

// The canonical GUID text: 36 characters, upper-case hexadecimal digits and
// hyphens as in "6F9619FF-8B86-D011-B42D-00C04FC964FF".
bool IsCanonicalGuid(const CString& strGuid)
{
    if (strGuid.GetLength() != 36)
        return false;
    for (int i = 0; i < 36; ++i) {
        const wchar_t c = strGuid.GetAt(i);
        const bool bHyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (bHyphen ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

// Why the GUID text cannot name the drawing and slide files, or null when it
// can: a file name of its own on Windows and on POSIX systems alike.
const char* WhyNotAFileName(const CString& strGuid)
{
    const int n = strGuid.GetLength();
    if (n == 0)
        return "it is empty";
    if (strGuid == L"." || strGuid == L"..")
        return "it names a folder";
    for (int i = 0; i < n; ++i) {
        const wchar_t c = strGuid.GetAt(i);
        if (c == L'\\' || c == L'/')
            return "it holds a path separator";
        if (c == L':')
            return "it holds a drive or stream separator ':'";
        if (c < 0x20)
            return "it holds a control character";
        if (std::wcschr(L"<>\"|?*", c) != nullptr)
            return "it holds a character that Windows forbids in file names";
    }
    if (strGuid.GetAt(n - 1) == L'.' || strGuid.GetAt(n - 1) == L' ')
        return "it ends with a dot or a space";
    // Windows opens a device for these names, whatever the extension.
    std::wstring base = FoldedKey(strGuid);
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    const bool bNumbered = base.size() == 4 && base[3] >= L'1' && base[3] <= L'9' &&
                           (base.compare(0, 3, L"com") == 0 || base.compare(0, 3, L"lpt") == 0);
    if (bNumbered || base == L"con" || base == L"prn" || base == L"aux" || base == L"nul")
        return "it is a device name";
    return nullptr;
}

// Problems of one library file: the file's own first, then by position.
class FileProblems {
public:
    FileProblems(std::string strPath, const Layout& layout, size_t nItems)
        : m_strPath(std::move(strPath)),
          m_layout(layout),
          m_bPlaced(layout.vecItem.size() == nItems)
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
    const Layout& m_layout;
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
    progress.Step("reading NodeDetailDataEx.xml");
    const bool bLoaded = pLib->Load();
    std::vector<NodeDetailResData> vecRow;
    pLib->GetVecNodeDetailResData(vecRow);
    const Layout layout =
        bLoaded ? ScanFile(DataDir::Native(strFile), "NodeDetailResDataRow", nullptr) : Layout();
    FileProblems file(dir.Show(strFile), layout, vecRow.size());
    AddReport(pLib->GetLastReport(), file.Path(), file.Problems());
    if (!bLoaded) {
        file.MoveInto(findings.vecProblem);
        return;
    }

    progress.Step("checking " + std::to_string(vecRow.size()) + " node details");
    findings.nNodeDetails = static_cast<int>(vecRow.size());
    const size_t npos = FileProblems::npos;
    std::unordered_map<std::wstring, size_t> names;
    std::unordered_map<std::wstring, size_t> guids;
    std::vector<bool> vecNameable(vecRow.size());
    for (size_t i = 0; i < vecRow.size(); ++i) {
        const std::pair<CString, CString> record(vecRow[i].GetGuid(), vecRow[i].GetDisplayName());
        const std::string strIs = "node detail " + Quoted(record.second);
        const auto name = names.emplace(FoldedKey(record.second), i);
        if (!name.second)
            file.Add(i, npos, true, "duplicate-name",
                     strIs + " " +
                         SameNameAs(record.second, vecRow[name.first->second].GetDisplayName(),
                                    file.Where(name.first->second)),
                     &record);
        const auto guid = guids.emplace(FoldedKey(record.first), i);
        if (!guid.second)
            file.Add(i, npos, true, "duplicate-guid",
                     strIs + " has the GUID text of " +
                         Quoted(vecRow[guid.first->second].GetDisplayName()) + " at " +
                         file.Where(guid.first->second) +
                         ": both name the same drawing and slide files",
                     &record);
        const char* pszWhy = WhyNotAFileName(record.first);
        vecNameable[i] = pszWhy == nullptr;
        if (pszWhy != nullptr)
            file.Add(
                i, npos, true, "guid-not-file-name",
                strIs + ": GUID text " + Quoted(record.first) + " cannot name a file: " + pszWhy,
                &record);
        else if (!IsCanonicalGuid(record.first))
            file.Add(i, npos, false, "guid-not-canonical",
                     strIs + ": GUID text " + Quoted(record.first) +
                         " is not in the canonical form of 36 upper-case hexadecimal digits and "
                         "hyphens",
                     &record);
    }

    progress.Step("looking through the resource folder");
    int nFolder = strFile.GetLength();
    while (nFolder > 0 && strFile.GetAt(nFolder - 1) != L'\\')
        --nFolder;
    const CString strFolder(strFile.GetString(), nFolder);  // its drawings lie beside it
    ResourceFiles files(DataDir::Native(strFolder));
    for (size_t i = 0; i < vecRow.size(); ++i) {
        if (!vecNameable[i])
            continue;
        const std::pair<CString, CString> record(vecRow[i].GetGuid(), vecRow[i].GetDisplayName());
        for (const FileKind& kind : kFileKinds) {
            const std::string strName = Utf8(record.first) + kind.pszExtension;
            const int nFound = files.Find(strName);
            if (nFound != 1)
                file.Add(i, npos, true, kind.pszMissing,
                         "node detail " + Quoted(record.second) + ": its " + kind.pszWord +
                             " file " + strName +
                             (nFound == 0 ? " is missing" : " is not a regular file"),
                         &record);
        }
    }
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
        std::unordered_map<std::wstring, size_t> names;
        for (size_t r = 0; r < vecFit.size(); ++r) {
            const std::pair<CString, CString> record(vecFit[r].GUID(), vecFit[r].GetDisplayName());
            const auto name = names.emplace(FoldedKey(record.second), r);
            if (!name.second)
                file.Add(g, r, true, "fitting-duplicate-name",
                         "fitting " + Quoted(record.second) + " " +
                             SameNameAs(record.second, vecFit[name.first->second].GetDisplayName(),
                                        file.Where(g, name.first->second) + " in its group"),
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
std::string SystemKey(std::string strName)
{
#if defined(_WIN32)
    for (char& c : strName)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
#endif
    return strName;
}

bool IsResourceFile(const std::string& strName)
{
    if (strName.size() < 4)
        return false;
    const std::wstring ext = FoldedKey(FromUtf8(strName.substr(strName.size() - 4)));
    return ext == L".dwg" || ext == L".sld";
}

}  // namespace

ResourceFiles::ResourceFiles(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string strName = it->path().filename().u8string();
        std::error_code ecType;
        const bool bRegular = it->is_regular_file(ecType);
        m_index.emplace(SystemKey(strName), m_vecEntry.size());
        m_vecEntry.push_back(Entry{std::move(strName), bRegular, false});
    }
}

int ResourceFiles::Find(const std::string& strName)
{
    const auto it = m_index.find(SystemKey(strName));
    if (it == m_index.end())
        return 0;
    Entry& entry = m_vecEntry[it->second];
    entry.bNamed = true;
    return entry.bRegular ? 1 : -1;
}

std::vector<std::string> ResourceFiles::Unnamed() const
{
    std::vector<std::string> vecName;
    for (const Entry& entry : m_vecEntry)
        if (!entry.bNamed && entry.bRegular && IsResourceFile(entry.strName))
            vecName.push_back(entry.strName);
    std::sort(vecName.begin(), vecName.end());
    return vecName;
}

}  // namespace zknd
