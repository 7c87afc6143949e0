#include "Library.h"

#include <cmath>
#include <fstream>
#include <limits>

#include "Display.h"
#include "frame/ZkNodeDetail.h"
#include "platform/CXTPPropExchange.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace fs = std::filesystem;

const wchar_t* const kExtensions[2] = {L".dwg", L".sld"};
const char* const kFileWords[2] = {"drawing", "slide"};

LibraryPlaces LibraryPlaces::Of(const DataDir& bound, const std::string& strGiven)
{
    LibraryPlaces places;
    places.strGiven = strGiven;
    const fs::path root = fs::u8path(strGiven);
    places.nodeDetails =
        root / DataDir::Native(bound.Below(ZkNodeDetailResDataManager()->GetFileName()));
    places.fittings = root / DataDir::Native(bound.Below(ZkFitDataManager()->GetFileName()));
    places.resources = places.nodeDetails.parent_path();
    return places;
}

std::string LibraryPlaces::Show(const fs::path& path) const
{
    const fs::path below = path.lexically_relative(fs::u8path(strGiven));
    if (below.empty() || *below.begin() == "..")
        return path.u8string();
    return (fs::u8path(strGiven) / below).u8string();
}

namespace {

// Where a library file that the exchange did not read went wrong, as far as
// the file system tells.
std::string WhyNotRead(const fs::path& file)
{
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status))
        return "it does not exist";
    if (!fs::is_regular_file(status))
        return "it is not a regular file";
    return "it is not a library file that the library can read";
}

// Opens the file's root section for reading, as the managers do.
bool OpenRoot(CXTPPropExchange& px, const fs::path& file, std::string& strWhy)
{
    const CString strPath = ZkFromNativePath(file.native());
    if (!px.LoadFromFile(strPath) || !px.IsRootSectionPresent()) {
        strWhy = WhyNotRead(file);
        return false;
    }
    px.SetCompactMode(1);
    return true;
}

// The rows named pszRow under the root section pszRoot of a library file,
// each handed to fnRow in order; false, with the reason, when the file is not
// read as a library.
template <typename Row>
bool ReadRows(const fs::path& file, const wchar_t* pszRoot, const wchar_t* pszRow,
              std::string& strWhy, Row fnRow)
{
    CXTPPropExchange px(1, nullptr, pszRoot);
    if (!OpenRoot(px, file, strWhy))
        return false;
    CXTPPropExchangeEnumerator rows = px.GetEnumerator(pszRow);
    for (POSITION pos = rows.GetPosition(0, 1); pos != nullptr;) {
        CXTPPropExchange row = rows.GetNext(pos);
        fnRow(row);
    }
    return true;
}

// The numbers of the fitting library that its records read as their types.
class ValueCheck {
public:
    explicit ValueCheck(std::vector<std::string>& vecMessage) : m_vecMessage(vecMessage) {}

    void Int(CXTPPropExchange& px, const wchar_t* pszName)
    {
        CString text;
        int n = 0;
        if (px.PX_String(pszName, text) && !px.PX_Int(pszName, n))
            Add(pszName, text, "an integer");
    }
    void Real(CXTPPropExchange& px, const wchar_t* pszName)
    {
        CString text;
        double d = 0;
        if (px.PX_String(pszName, text) && !px.PX_Double(pszName, d))
            Add(pszName, text, "a real number");
    }
    void Three(CXTPPropExchange& px, const wchar_t* pszName)
    {
        CString text;
        if (!px.PX_String(pszName, text))
            return;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        stu3Value value;
        value.x = value.y = value.z = nan;
        ZkTextToU3Value(text, value);
        if (std::isnan(value.x) && std::isnan(value.y) && std::isnan(value.z))
            Add(pszName, text, "three numbers");
    }

private:
    void Add(const wchar_t* pszName, const CString& text, const char* pszWhat)
    {
        m_vecMessage.push_back(Quoted(pszName) + " is " + Quoted(text) + ", not " + pszWhat);
    }
    std::vector<std::string>& m_vecMessage;
};

}  // namespace

bool ReadNodeDetails(const fs::path& file, std::vector<NodeDetailResData>& vecData,
                     std::string& strWhy)
{
    vecData.clear();
    return ReadRows(file, L"NodeDetailResData", L"NodeDetailResDataRow", strWhy,
                    [&vecData](CXTPPropExchange& row) {
                        vecData.emplace_back();
                        vecData.back().DoPropExchange(&row);
                    });
}

bool ReadFittings(const fs::path& file, std::vector<FittingInfo>& vecGroup,
                  std::vector<UnreadValue>& vecUnread, std::string& strWhy)
{
    vecGroup.clear();
    vecUnread.clear();
    return ReadRows(file, L"FitData", L"FitInfo", strWhy, [&](CXTPPropExchange& group) {
        const size_t nGroup = vecGroup.size();
        std::vector<std::string> vecMessage;
        ValueCheck check(vecMessage);
        check.Int(group, L"FitType");
        for (std::string& strMessage : vecMessage)
            vecUnread.push_back(UnreadValue{nGroup, -1, "its group's " + strMessage});
        CXTPPropExchangeEnumerator rows = group.GetEnumerator(L"FitRow");
        long nRow = 0;
        for (POSITION posRow = rows.GetPosition(0, 1); posRow != nullptr; ++nRow) {
            CXTPPropExchange row = rows.GetNext(posRow);
            vecMessage.clear();
            check.Three(row, L"Pos");
            check.Real(row, L"Scale");
            check.Three(row, L"Direction");
            check.Three(row, L"ButtressPos");
            CXTPPropExchange connectors = row.GetSection(L"vecConnector");
            CXTPPropExchangeEnumerator items = connectors.GetEnumerator(L"Connector");
            for (POSITION posItem = items.GetPosition(0, 1); posItem != nullptr;) {
                CXTPPropExchange item = items.GetNext(posItem);
                check.Three(item, L"Pos");
                check.Real(item, L"Angle");
                check.Int(item, L"ConType");
                check.Int(item, L"Index");
            }
            for (std::string& strMessage : vecMessage)
                vecUnread.push_back(UnreadValue{nGroup, nRow, std::move(strMessage)});
        }
        vecGroup.emplace_back();
        vecGroup.back().DoPropExchange(&group);
    });
}

bool CanonicalGuid(const CString& strGuid, CString& strCanonical)
{
    // Braces around it, or none; hyphens where the canonical form has them.
    const wchar_t* p = strGuid.GetString();
    int n = strGuid.GetLength();
    if (n == 38 && p[0] == L'{' && p[37] == L'}') {
        ++p;
        n -= 2;
    }
    if (n != 36)
        return false;
    std::wstring text(p, 36);
    for (int i = 0; i < 36; ++i) {
        wchar_t& c = text[static_cast<size_t>(i)];
        const bool bHyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const bool bDigit =
            (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (bHyphen ? c != L'-' : !bDigit)
            return false;
        if (c >= L'a' && c <= L'f')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    strCanonical = CString(text.c_str());
    return true;
}

bool IsCanonicalGuid(const CString& strGuid)
{
    // Asked of every record by check: nothing is made.
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

CString NewGuidText()
{
    // The library's own way to a new GUID: a new node detail gets one.
    return NodeDetailResData(L"").GetGuid();
}

std::wstring Folded(const CString& text)
{
    std::wstring folded(text.GetString(), static_cast<size_t>(text.GetLength()));
    for (wchar_t& c : folded)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return folded;
}

CString NameSet::NextFree(const CString& strBase) const
{
    // "%s" stops at a null unit, as CopyNode's name does.
    const CString strStem(strBase.GetString());
    for (int n = 1;; ++n) {
        CString strName;
        strName.Format(L"%s(%d)", strStem.GetString(), n);
        if (!Has(strName))
            return strName;
    }
}

bool FolderFiles::List(const fs::path& folder, std::error_code& ec)
{
    if (fs::symlink_status(folder, ec).type() == fs::file_type::not_found) {
        ec.clear();
        return true;
    }
    if (ec)
        return false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        // The kind as the listing tells it, where it does.
        std::error_code ecKind;
        Add(it->path(), it->is_regular_file(ecKind) && !it->is_symlink(ecKind));
    }
    return !ec;
}

void FolderFiles::Add(const fs::path& file)
{
    std::error_code ec;
    Add(file, fs::is_regular_file(fs::symlink_status(file, ec)));
}

void FolderFiles::Add(const fs::path& file, bool bRegular)
{
    const CString strName = ZkFromNativePath(file.filename().native());
    const int n = strName.GetLength();
    if (n < 5)
        return;
    const std::wstring extension = Folded(CString(strName.GetString() + n - 4));
    for (int nKind = 0; nKind < 2; ++nKind) {
        if (extension != kExtensions[nKind])
            continue;
        Entry entry{file, CString(strName.GetString(), n - 4), nKind, bRegular};
        m_byGuid[Folded(entry.strGuid)].push_back(m_vecEntry.size());
        m_vecEntry.push_back(std::move(entry));
        return;
    }
}

std::vector<size_t> FolderFiles::Find(const CString& strGuid, int nKind) const
{
    std::vector<size_t> vecFound;
    const auto it = m_byGuid.find(Folded(strGuid));
    if (it != m_byGuid.end())
        for (size_t i : it->second)
            if (m_vecEntry[i].nKind == nKind)
                vecFound.push_back(i);
    return vecFound;
}

bool FolderFiles::Has(const CString& strGuid) const
{
    return m_byGuid.count(Folded(strGuid)) != 0;
}

bool SameBytes(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    const auto nSize = fs::file_size(a, ec);
    if (ec || fs::file_size(b, ec) != nSize || ec)
        return false;
    std::ifstream inA(a, std::ios::binary);
    std::ifstream inB(b, std::ios::binary);
    if (!inA || !inB)
        return false;
    std::vector<char> bufA(1 << 16);
    std::vector<char> bufB(1 << 16);
    while (inA && inB) {
        inA.read(bufA.data(), static_cast<std::streamsize>(bufA.size()));
        inB.read(bufB.data(), static_cast<std::streamsize>(bufB.size()));
        if (inA.gcount() != inB.gcount() ||
            !std::equal(bufA.begin(), bufA.begin() + inA.gcount(), bufB.begin()))
            return false;
    }
    return inA.eof() && inB.eof();
}

std::string WhyNotAFile(const fs::path& file)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(file, ec);
    if (!fs::exists(status))
        return "is missing";
    if (fs::is_symlink(status))
        return "is a link, not a regular file";
    if (!fs::is_regular_file(status))
        return "is not a regular file";
    return "";
}

}  // namespace zknd
