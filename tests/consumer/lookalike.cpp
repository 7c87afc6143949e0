// A host module that has the platform's own CString, POSITION,
// CXTPPropExchange, AcGeScale3d, NamedValueSet and NamedValue: its
// precompiled header declares them before it includes any header of the
// library. Here they are small look-alikes, declared as MFC, the UI toolkit,
// the geometry library and the host product describe them, and the build
// defines ZKND_MODULE_HAS_XTP, ZKND_MODULE_HAS_ACGE and
// ZKND_MODULE_HAS_NAMEDVALUE (MFC announces itself with _MFC_VER). The
// program then includes every public header of the library and takes the
// usual roads with the module's own types, checking each result at run time.
// Usage: lookalike [data directory]; exits 1 when any check fails. One file,
// as a module is one translation unit: its look-alike types come first.
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#if !defined(ZKND_MODULE_HAS_XTP) || !defined(ZKND_MODULE_HAS_ACGE) || \
    !defined(ZKND_MODULE_HAS_NAMEDVALUE)
#error "build with ZKND_MODULE_HAS_XTP, ZKND_MODULE_HAS_ACGE and ZKND_MODULE_HAS_NAMEDVALUE"
#endif

// MFC: CString is CStringT, which derives from CSimpleStringT; its + and ==
// are friends taking two strings, a string and a character pointer, or a
// string and a character.
#define _MFC_VER 0x0E00

typedef const wchar_t* LPCWSTR;

namespace ATL {

template <typename BaseType, bool t_bMFCDLL>
class CSimpleStringT {
public:
    typedef BaseType XCHAR;
    typedef const BaseType* PCXSTR;

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    PCXSTR GetString() const { return m_str.c_str(); }
    operator PCXSTR() const { return m_str.c_str(); }

protected:
    std::basic_string<BaseType> m_str;
};

template <typename BaseType, class StringTraits>
class CStringT : public CSimpleStringT<BaseType, false> {
public:
    typedef BaseType XCHAR;
    typedef const BaseType* PCXSTR;

    CStringT() = default;
    CStringT(const CSimpleStringT<BaseType, false>& str) { *this = str.GetString(); }
    CStringT(PCXSTR psz) { *this = psz; }
    CStringT(PCXSTR pch, int nLength)
    {
        if (pch != nullptr && nLength > 0)
            this->m_str.assign(pch, static_cast<size_t>(nLength));
    }
    CStringT(XCHAR ch, int nLength = 1)
    {
        if (nLength > 0)
            this->m_str.assign(static_cast<size_t>(nLength), ch);
    }

    CStringT& operator=(PCXSTR psz)
    {
        this->m_str = psz != nullptr ? psz : L"";
        return *this;
    }
    CStringT& operator+=(const CSimpleStringT<BaseType, false>& str)
    {
        this->m_str += str.GetString();
        return *this;
    }
    CStringT& operator+=(PCXSTR psz)
    {
        if (psz != nullptr)
            this->m_str += psz;
        return *this;
    }

    // %s takes a wide text and %d an int, as Format does in a Unicode build.
    void Format(PCXSTR pszFormat, ...)
    {
        va_list args;
        va_start(args, pszFormat);
        std::basic_string<BaseType> out;
        for (PCXSTR p = pszFormat; *p != 0; ++p) {
            if (*p != L'%' || p[1] == 0) {
                out += *p;
            } else if (*++p == L's') {
                PCXSTR psz = va_arg(args, PCXSTR);
                out += psz != nullptr ? psz : L"(null)";
            } else if (*p == L'd') {
                const std::wstring n = std::to_wstring(va_arg(args, int));
                out.append(n.begin(), n.end());
            } else {
                out += *p;
            }
        }
        va_end(args);
        this->m_str = out;
    }

    friend CStringT operator+(const CStringT& a, const CStringT& b) { return Join(a, b); }
    friend CStringT operator+(const CStringT& a, PCXSTR b) { return Join(a, b); }
    friend CStringT operator+(PCXSTR a, const CStringT& b) { return Join(a, b); }
    friend CStringT operator+(const CStringT& a, XCHAR b) { return Join(a, CStringT(b)); }
    friend CStringT operator+(XCHAR a, const CStringT& b) { return Join(CStringT(a), b); }
    friend bool operator==(const CStringT& a, const CStringT& b) { return Same(a, b); }
    friend bool operator==(const CStringT& a, PCXSTR b) { return Same(a, b); }
    friend bool operator==(PCXSTR a, const CStringT& b) { return Same(a, b); }
    friend bool operator==(const CStringT& a, XCHAR b) { return Same(a, CStringT(b)); }
    friend bool operator==(XCHAR a, const CStringT& b) { return Same(CStringT(a), b); }
    friend bool operator!=(const CStringT& a, const CStringT& b) { return !Same(a, b); }
    friend bool operator!=(const CStringT& a, PCXSTR b) { return !Same(a, b); }
    friend bool operator!=(PCXSTR a, const CStringT& b) { return !Same(a, b); }

private:
    static CStringT Join(PCXSTR a, PCXSTR b)
    {
        CStringT r(a);
        r += b;
        return r;
    }
    static bool Same(PCXSTR a, PCXSTR b)
    {
        return std::basic_string<BaseType>(a != nullptr ? a : L"") ==
               std::basic_string<BaseType>(b != nullptr ? b : L"");
    }
};

}  // namespace ATL

template <typename BaseType>
class StrTraitMFC_DLL {
};

typedef ATL::CStringT<wchar_t, StrTraitMFC_DLL<wchar_t>> CString;

// MFC's collection position: an opaque pointer.
struct MfcPosition;
typedef MfcPosition* POSITION;

// The UI toolkit's property exchange and its enumerator of repeated sections.
class CXTPPropExchange {
public:
    explicit CXTPPropExchange(bool bLoading) : m_bLoading(bLoading) {}
    virtual ~CXTPPropExchange() = default;
    bool IsLoading() const { return m_bLoading; }

private:
    bool m_bLoading;
};

class CXTPPropExchangeEnumerator {
public:
    explicit CXTPPropExchangeEnumerator(CXTPPropExchange* pContainer) : m_pContainer(pContainer) {}
    POSITION GetPosition(unsigned long dwCount = 0, bool bCompactMode = true)
    {
        (void)dwCount;
        (void)bCompactMode;
        return nullptr;
    }
    CXTPPropExchange* GetNext(POSITION& pos)
    {
        pos = nullptr;
        return m_pContainer;
    }

private:
    CXTPPropExchange* m_pContainer;
};

// The geometry library's scale: three public factors.
class AcGeScale3d {
public:
    AcGeScale3d() : sx(1.0), sy(1.0), sz(1.0) {}
    AcGeScale3d(double factor) : sx(factor), sy(factor), sz(factor) {}
    AcGeScale3d(double xFactor, double yFactor, double zFactor)
        : sx(xFactor), sy(yFactor), sz(zFactor)
    {
    }
    bool operator==(const AcGeScale3d& o) const { return sx == o.sx && sy == o.sy && sz == o.sz; }

    static const AcGeScale3d kIdentity;

    double sx;
    double sy;
    double sz;
};
const AcGeScale3d AcGeScale3d::kIdentity;

// The host product's named-value collection.
class NamedValue {
public:
    NamedValue() = default;
    explicit NamedValue(int n) : m_n(n) {}
    int GetInt() const { return m_n; }

private:
    int m_n = 0;
};

class NamedValueSet {
public:
    void RemoveAll() { m_entries.clear(); }
    int Count() const { return static_cast<int>(m_entries.size()); }
    bool GetAt(int nIndex, CString& strName, NamedValue& value) const
    {
        if (nIndex < 0 || nIndex >= Count())
            return false;
        strName = m_entries[static_cast<size_t>(nIndex)].first;
        value = m_entries[static_cast<size_t>(nIndex)].second;
        return true;
    }
    void SetAt(LPCWSTR pszName, const NamedValue& value) { m_entries.emplace_back(pszName, value); }

private:
    std::vector<std::pair<CString, NamedValue>> m_entries;
};

// Every public header of the library, generated from the installed headers.
#include "ConsumerCheck.h"
#include "ZkAllHeaders.h"

// The module's names are still its own, and the library's are in ZkNd.
static_assert(!std::is_same<CString, ZkNd::CString>::value, "CString");
static_assert(!std::is_same<POSITION, ZkNd::POSITION>::value, "POSITION");
static_assert(!std::is_same<CXTPPropExchange, ZkNd::CXTPPropExchange>::value, "CXTPPropExchange");
static_assert(!std::is_same<CXTPPropExchangeEnumerator, ZkNd::CXTPPropExchangeEnumerator>::value,
              "CXTPPropExchangeEnumerator");
static_assert(!std::is_same<AcGeScale3d, ZkNd::AcGeScale3d>::value, "AcGeScale3d");
static_assert(!std::is_same<NamedValueSet, ZkNd::NamedValueSet>::value, "NamedValueSet");
static_assert(!std::is_same<NamedValue, ZkNd::NamedValue>::value, "NamedValue");

namespace fs = std::filesystem;
using namespace consumer;  // the checks and file helpers of every consumer program

namespace {

// A text of the module's own, such as a dialog would hand over.
bool IsPumpCopy(const CString& strName)
{
    return strName == L"Pump base(1)";
}

const char kResourceFolder[] = u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u6210\u679C\u5E93";
const char kFittingFolder[] = u8"Data/NodeDetail/\u8282\u70B9\u56FE/\u7BA1\u4EF6\u5E93";

// The module's host application object: it keeps the directory in its own
// CString and answers it as the library's.
class ModuleHost : public IZkHostApplication {
public:
    explicit ModuleHost(const CString& strDataDir) : m_strDataDir(strDataDir) {}
    ZkNd::CString GetProductDataDirectory() const override { return ZkNd::CString(m_strDataDir); }

private:
    CString m_strDataDir;
};

// Every way the module's code takes a text from the library.
void CheckTextUsage()
{
    NodeDetailResData rec;
    const CString strName(L"Pump base");
    rec.SetDisplayName(strName);  // the module's CString as a name going in
    rec.SetDescription(L"Base plate");

    CString s1 = rec.GetDisplayName();
    CHECK(s1 == L"Pump base");
    CString s2(rec.GetDisplayName());
    CHECK(s2 == L"Pump base");
    CString s3;
    s3 = rec.GetDescription();
    CHECK(s3 == L"Base plate" && s3.GetLength() == 10);
    s3 += rec.GetDisplayName();
    CHECK(s3 == L"Base platePump base");

    const ZkNd::CString z = rec.GetDisplayName();
    static_assert(std::is_same<decltype(strName + z), CString>::value &&
                      std::is_same<decltype(z + strName), CString>::value,
                  "joined with the module's CString, a text is the module's");
    CString mfcPlus = strName + z;
    CHECK(mfcPlus == L"Pump basePump base");
    CString plusMfc = z + CString(L"!");
    CHECK(plusMfc == L"Pump base!");
    CHECK(strName == z && z == strName);
    CHECK(!(CString(L"Other") == z) && z != CString(L"Other") && CString(L"Other") != z);
    CHECK(strName == rec.GetDisplayName());
    CHECK(IsPumpCopy(ZkNd::CString(L"Pump base(1)")) && !IsPumpCopy(z));

    CString strLine;
    strLine.Format(L"[%s] %d", (LPCWSTR)rec.GetDisplayName(), 3);
    CHECK(strLine == L"[Pump base] 3");
    strLine.Format(L"<%s>", static_cast<const wchar_t*>(z));
    CHECK(strLine == L"<Pump base>");

    // The library's own operators still serve its CString.
    const ZkNd::CString zPlus = z + L" (copy)";
    CHECK(zPlus == L"Pump base (copy)" && L"Pump base (copy)" == zPlus);
    wchar_t buf[] = L"!";
    CHECK(z + buf == L"Pump base!" && buf + z == L"!Pump base" && z != buf);
    CHECK(ZkNd::CString(L"a") + ZkNd::CString(L"b") == ZkNd::CString(L"ab"));

    // Texts going into the library's records as the module's CString.
    stConnector connector;
    connector.strText = strName;
    CHECK(connector.strText == L"Pump base");
    ZkNd::CString zFromMfc(strName);
    CHECK(zFromMfc.Compare(strName) == 0 && zFromMfc.CompareNoCase(L"PUMP BASE") == 0);
    zFromMfc += CString(L"!");
    CHECK(zFromMfc == L"Pump base!");
}

void CheckNodeDetailRoad(const fs::path& dataDir, const CString& strDataDir)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    CHECK(CString(pLib->GetFileName()) ==
          strDataDir +
              L"Data\\NodeDetail\\\u8282\u70B9\u56FE\\\u6210\u679C\u5E93\\"
              L"NodeDetailDataEx.xml");
    CHECK(!pLib->Load());
    CString strWhy = pLib->GetLastReport().Describe();
    CHECK(!strWhy.IsEmpty());

    const fs::path folder = dataDir / fs::u8path(kResourceFolder);
    fs::create_directories(folder);
    const CString strPump(L"Pump base");
    std::vector<NodeDetailResData> vecSeed = {NodeDetailResData(strPump),
                                              NodeDetailResData(L"Detail10"),
                                              NodeDetailResData(CString(L"Detail2"))};
    pLib->SetVecNodeDetailResData(vecSeed);
    CHECK(pLib->Save());
    for (const NodeDetailResData& seed : vecSeed) {
        const std::string guid = Ascii(seed.GetGuid());
        CHECK(guid.size() == 36);
        CHECK(WriteFile(folder / (guid + ".dwg"), "drawing " + guid));
        CHECK(WriteFile(folder / (guid + ".sld"), "slide " + guid));
    }
    pLib->SetVecNodeDetailResData({});

    CHECK(pLib->Load() && pLib->SortData());
    std::vector<NodeDetailResData> vecRows;
    CHECK(pLib->GetVecNodeDetailResData(vecRows) && vecRows.size() == 3);
    int nPump = -1;
    CHECK(pLib->CheckNameExist(strPump, nPump) && nPump == 2);
    CHECK(pLib->CopyNode(nPump) == 1);
    CHECK(pLib->Save());

    CHECK(pLib->Load() && pLib->SortData() && pLib->GetVecNodeDetailResData(vecRows));
    CHECK(vecRows.size() == 4);
    if (vecRows.size() == 4) {
        CString strCopy = vecRows[3].GetDisplayName();
        CHECK(IsPumpCopy(strCopy));
        CHECK(IsPumpCopy(vecRows[3].GetDisplayName()));
        CString strSourceGuid(vecSeed[0].GetGuid());
        CHECK(vecRows[3].GetGuid() != strSourceGuid);
        const std::string src = Ascii(strSourceGuid);
        const std::string dst = Ascii(vecRows[3].GetGuid());
        CHECK(ReadFile(folder / (dst + ".dwg")) == "drawing " + src);
        CHECK(ReadFile(folder / (dst + ".sld")) == "slide " + src);
    }
    NodeDetailResData found;
    CHECK(pLib->FindDataByDisplayName(CString(L"PUMP BASE(1)"), found) == 3);
    CHECK(pLib->ModifyNodeName(3, CString(L"Pump base copy")));
    CHECK(pLib->FindDataByDisplayName(L"pump base copy", found) == 3);
    CHECK(pLib->GetLastReport().Succeeded());
}

void CheckFittingRoad(const fs::path& dataDir)
{
    CFitDataManager* pFit = ZkFitDataManager();
    fs::create_directories(dataDir / fs::u8path(kFittingFolder));
    const CString strName(L"Elbow 90");
    const CString strGuid(L"3F2504E0-4F89-11D3-9A0C-0305E82C3301");

    FittingData elbow;
    elbow.SetGUID(strGuid);
    elbow.SetBlockName(L"ELBOW90");
    elbow.SetDisplayName(strName);
    elbow.SetFitType(static_cast<NodeDetailEx::FittingType>(1));
    std::vector<ConnectorData> vecConnector(2);
    vecConnector[1].SetAngle(90.0);
    vecConnector[1].SetIndex(2);
    elbow.SetConnector(vecConnector);
    CHECK(pFit->AddFit(elbow));
    CHECK(pFit->Save());

    FittingData read;
    CHECK(pFit->Load() && pFit->FindFitDataByFitName(CString(L"ELBOW 90"), read));
    CString strRead = read.GetDisplayName();
    CHECK(strRead == strName && read.GetBlockName() == CString(L"ELBOW90"));
    CHECK(read.GetConNum() == 2 && read.GetConnectorAt(2) != nullptr);
    CString strFound(pFit->GetFitName(strGuid));
    CHECK(strFound == L"Elbow 90");
    CHECK(pFit->CheckNameExist(strName));
}

// A listener keeping the last text in the module's CString.
class ModuleListener : public ICallback {
public:
    int HandleNotify(int nCode, const wchar_t* pszText) override
    {
        m_nLastCode = nCode;
        m_strLastText = pszText;
        return 0;
    }
    int m_nLastCode = 0;
    CString m_strLastText;
};

void CheckSessionAndObserver()
{
    ModuleListener listener;
    CFittingObserverManager* pObs = ZkFittingObserverManager();
    pObs->SetObserver(new CFittingObserver);
    pObs->GetObserver()->SetCallback(&listener);

    CNodeDetailSession* pSession = ZkNodeDetailSession();
    const CString strKey(L"SelectedDetail");
    pSession->Set(strKey, CString(L"Pump base"));
    CString strValue = pSession->GetStr(strKey, L"");
    CHECK(strValue == L"Pump base");
    pSession->SetModified(true);
    CHECK(listener.m_nLastCode == 4 && listener.m_strLastText.IsEmpty());
    pObs->GetObserver()->Dispatch(100, CString(L"refresh"));
    CHECK(listener.m_nLastCode == 100 && listener.m_strLastText == L"refresh");

    // A snapshot with the module's scale and texts.
    CPipeFittingEntInfo info;
    AcGeScale3d scale = info.m_scale;
    CHECK(scale == AcGeScale3d::kIdentity);
    info.m_scale = AcGeScale3d(2.0, 3.0, 4.0);
    CHECK(info.m_scale.sx == 2.0 && info.m_scale.sy == 3.0 && info.m_scale.sz == 4.0);
    AcGeScale3d scaleBack(info.m_scale);
    CHECK(scaleBack == AcGeScale3d(2.0, 3.0, 4.0));
    info.m_detail.strText1 = CString(L"Flange");
    info.m_values.SetAt(CString(L"Rating"), ZkNd::NamedValue(CString(L"PN16")));
    info.m_values.SetAt(L"Count", ZkNd::NamedValue(3));
    pSession->SetVecPipeFittingEntInfo({info});

    const std::vector<CPipeFittingEntInfo>& vecInfo = pSession->GetVecPipeFittingEntInfo();
    CHECK(vecInfo.size() == 1);
    if (vecInfo.size() == 1) {
        const CPipeFittingEntInfo& got = vecInfo[0];
        AcGeScale3d gotScale = got.m_scale;
        CHECK(gotScale == AcGeScale3d(2.0, 3.0, 4.0));
        CString strText(got.m_detail.strText1);
        CHECK(strText == L"Flange");
        CHECK(got.m_values.Count() == 2);
        CString strName;
        ZkNd::NamedValue value;
        CHECK(got.m_values.GetAt(0, strName, value));
        CHECK(strName == L"Rating" && value.GetType() == ZkNd::NamedValue::kText);
        CString strRating = value.GetText();
        CHECK(strRating == L"PN16");
        CHECK(got.m_values.GetAt(1, strName, value) && strName == L"Count" && value.GetInt() == 3);
        CString strKept(L"kept");
        CHECK(!got.m_values.GetAt(2, strKept, value) && strKept == L"kept");
        ZkNd::CString zName;
        CHECK(got.m_values.GetAt(0, zName, value) && zName == L"Rating");

        // The module's own set beside the library's: one copied into the other.
        NamedValueSet hostSet;
        for (int i = 0; i < got.m_values.Count(); ++i) {
            if (got.m_values.GetAt(i, strName, value) && value.GetType() == ZkNd::NamedValue::kInt)
                hostSet.SetAt(strName, NamedValue(value.GetInt()));
        }
        NamedValue hostValue;
        CHECK(hostSet.Count() == 1 && hostSet.GetAt(0, strName, hostValue) && strName == L"Count" &&
              hostValue.GetInt() == 3);
    }

    // Fitting counts posted by one module, read and ordered by another.
    std::vector<PIPE_FIT_COUNT_INFO> vecPosted(2);
    vecPosted[0].ptPos = stu3Value(10.0, 0.0, 0.0);
    vecPosted[0].strText1 = CString(L"right");
    vecPosted[1].strText1 = CString(L"left");
    pObs->SetVecPipeFitCountInfo(vecPosted);
    std::vector<PIPE_FIT_COUNT_INFO> vecRead;
    pObs->GetVecPipeFitCountInfo(vecRead);
    CHECK(NodeDetailEx::SortPipeFitCountInfo(vecRead) && vecRead.size() == 2);
    if (vecRead.size() == 2)
        CHECK(CString(vecRead[0].strText1) == L"left");

    pSession->SetModified(false);
    pObs->GetObserver()->SetCallback(nullptr);
}

// The library's property exchange and positions, named ZkNd:: beside the
// toolkit's and MFC's own.
void CheckExchange(const fs::path& dataDir)
{
    const CString strFile = ZkFromNativePath((dataDir / "exchange.xml").native());
    {
        ZkNd::CXTPPropExchange px(0, nullptr, L"Rows");
        ZkNd::CXTPPropExchange section = px.GetSection(L"List");
        ZkNd::CXTPPropExchangeEnumerator items = section.GetEnumerator(L"Row");
        ZkNd::POSITION pos = items.GetPosition();
        for (const wchar_t* pszName : {L"first", L"second"}) {
            ZkNd::CXTPPropExchange item = items.GetNext(pos);
            NodeDetailResData row(pszName);
            row.DoPropExchange(&item);
        }
        CHECK(px.SaveToFile(strFile, 1) == 0);
    }
    ZkNd::CXTPPropExchange px(1, nullptr, L"Rows");
    CHECK(px.LoadFromFile(strFile) != 0);
    ZkNd::CXTPPropExchange section = px.GetSection(L"List");
    ZkNd::CXTPPropExchangeEnumerator items = section.GetEnumerator(L"Row");
    std::vector<CString> vecNames;
    for (ZkNd::POSITION pos = items.GetPosition(); pos != nullptr;) {
        ZkNd::CXTPPropExchange item = items.GetNext(pos);
        NodeDetailResData row;
        row.DoPropExchange(&item);
        vecNames.push_back(row.GetDisplayName());
    }
    CHECK(vecNames.size() == 2 && vecNames[0] == L"first" && vecNames[1] == L"second");

    // The module's own exchange and positions work as before.
    CXTPPropExchange own(true);
    CXTPPropExchangeEnumerator ownItems(&own);
    POSITION ownPos = ownItems.GetPosition();
    CHECK(ownPos == nullptr && ownItems.GetNext(ownPos)->IsLoading());
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path dataDir;
    if (!FreshDirectory(argc, argv, "zk_lookalike_data", dataDir))
        return 1;

    CString strDataDir = ZkFromNativePath(dataDir.native()) + L"\\";
    static ModuleHost host(strDataDir);
    ZkSetHostApplication(&host);

    CheckTextUsage();
    CheckNodeDetailRoad(dataDir, strDataDir);
    CheckFittingRoad(dataDir);
    CheckSessionAndObserver();
    CheckExchange(dataDir);

    if (g_nFailures != 0) {
        std::fprintf(stderr, "%d check(s) failed\n", g_nFailures);
        return 1;
    }
    std::printf("all checks passed\n");
    return 0;
}
