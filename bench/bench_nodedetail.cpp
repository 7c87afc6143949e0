// The node-detail resource library, each operation beside a baseline in the
// same run:
//   Load of 10k / 100k (and with --large 1M) records  vs pugixml parsing the same file;
//   Update (a reload over the loaded list) of the same vs the same;
//   Save of the same                                   vs pugixml building the same document
//                                                         from the records and saving it with
//                                                         the same flush and rename;
//   SortData of 100k records                           vs std::sort of the same records by a
//                                                         plain natural-order comparator;
//   CopyNode with 1,000 earlier copies                 vs CopyNode with 10, in 10k records;
//   the copy's naming alone                            vs the loop that tries "%s(%d)" names;
//   Save after another process added 1% of the records vs a plain Save of the same list, of
//     (the file is read and merged) of 10k / 100k         10k / 100k records.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "nodedetail/CNodeDetailResDataManager.h"
#include "nodedetail/internal/CopyName.h"

namespace {

struct Row {
    std::wstring guid;
    std::wstring name;
    std::wstring description;
};

struct Library {
    std::vector<Row> rows;
    std::vector<NodeDetailResData> records;
    std::string strBytes;  // the file as Save writes it
    zkbench::FileCase file;
};

using Lib = zkbench::LibraryOf<CNodeDetailResDataManager>;

zkbench::Holdings g_holds;

// Fresh copies in library order, as after a Load: assigned over a list of the
// same size, the copies would keep the old texts' storage, scattered by a sort,
// and made straight after the free, they would take the freed blocks last
// freed first.
void HoldList(const Library& lib)
{
    if (g_holds.pList != &lib) {
        Lib::Manager()->SetVecNodeDetailResData({});
        zkbench::SettleHeap();
        Lib::Manager()->SetVecNodeDetailResData(lib.records);
        g_holds.pList = &lib;
    }
}

void HoldFile(const Library& lib)
{
    g_holds.File(&lib, Lib::File(), lib.strBytes);
}

pugi::xml_document BuildDocument(const std::vector<Row>& rows)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("NodeDetailResData");
    for (const Row& row : rows)
        zkbench::AppendElement(root, "NodeDetailResDataRow",
                               {{"GuId", zkbench::Utf8(row.guid)},
                                {"DisplayName", zkbench::Utf8(row.name)},
                                {"Description", zkbench::Utf8(row.description)}});
    return doc;
}

std::unique_ptr<Library> MakeLibrary(std::vector<Row> rows)
{
    auto lib = std::make_unique<Library>();
    Library* p = lib.get();
    p->rows = std::move(rows);
    p->records.reserve(p->rows.size());
    for (const Row& row : p->rows) {
        NodeDetailResData data;
        data.SetGuid(row.guid.c_str());
        data.SetDisplayName(row.name.c_str());
        data.SetDescription(row.description.c_str());
        p->records.push_back(std::move(data));
    }

    zkbench::FileCase& file = p->file;
    file.fnBeforeLoad = [p] {
        HoldFile(*p);
        Lib::Manager()->SetVecNodeDetailResData({});
        g_holds.pList = nullptr;
    };
    file.fnLoad = [p] {
        const bool bOk = Lib::Manager()->Load();
        g_holds.pList = p;
        return bOk && Lib::Manager()->GetDataCount() == static_cast<int>(p->rows.size());
    };
    file.fnBeforeUpdate = [p] {
        HoldFile(*p);
        HoldList(*p);
    };
    file.fnUpdate = [p] {
        const bool bOk = Lib::Manager()->Update();
        g_holds.pList = p;
        return bOk && Lib::Manager()->GetDataCount() == static_cast<int>(p->rows.size());
    };
    file.fnBeforeSave = [p] { HoldList(*p); };
    file.fnSave = [p] {
        g_holds.pFile = p;
        return Lib::Manager()->Save();
    };
    file.fnBuild = [p] { return BuildDocument(p->rows); };
    file.strParseFile = Lib::Folder() + "parse-" + std::to_string(p->rows.size()) + ".xml";
    file.strSaveFile = Lib::Folder() + "baseline-save.xml";

    std::filesystem::create_directories(Lib::Folder());
    zkbench::SaveLikeLibrary(file.fnBuild(), file.strParseFile);
    p->strBytes = zkbench::ReadFile(file.strParseFile);
    HoldList(*p);
    file.fnSave();
    zkbench::CheckSame(zkbench::ReadFile(Lib::File()) == p->strBytes, "the saved file");
    return lib;
}

std::vector<Row> MakeRows(size_t nCount, uint32_t nSeed)
{
    zkbench::TextMaker maker(nSeed);
    std::vector<Row> rows(nCount);
    for (Row& row : rows)
        row = Row{maker.GuidText(), maker.NodeName(), maker.Description()};
    return rows;
}

const Library& Generated(size_t nCount)
{
    static std::map<size_t, std::unique_ptr<Library>> cache;
    std::unique_ptr<Library>& lib = cache[nCount];
    if (!lib)
        lib = MakeLibrary(MakeRows(nCount, static_cast<uint32_t>(nCount)));
    return *lib;
}

// ---- SortData ---------------------------------------------------------------

// A record as plain as it gets: the same three texts and the mark.
struct PlainRecord {
    CString guid;
    CString name;
    CString description;
    bool bCheck;
};

int ClassOf(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return 0;
    return ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) ? 1 : 2;
}

// Natural order, written straight: tokens of digits, of letters and of the
// rest; digit tokens by value, others by code unit; a name whose tokens run
// out first comes first.
bool PlainNaturalLess(const PlainRecord& ra, const PlainRecord& rb)
{
    const wchar_t* a = ra.name.GetString();
    const wchar_t* b = rb.name.GetString();
    const size_t na = static_cast<size_t>(ra.name.GetLength());
    const size_t nb = static_cast<size_t>(rb.name.GetLength());
    size_t i = 0;
    size_t j = 0;
    while (i < na && j < nb) {
        const int ca = ClassOf(a[i]);
        const int cb = ClassOf(b[j]);
        size_t ei = i + 1;
        while (ei < na && ClassOf(a[ei]) == ca)
            ++ei;
        size_t ej = j + 1;
        while (ej < nb && ClassOf(b[ej]) == cb)
            ++ej;
        if (ca == 0 && cb == 0) {
            size_t si = i;
            while (si < ei && a[si] == L'0')
                ++si;
            size_t sj = j;
            while (sj < ej && b[sj] == L'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            for (size_t k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k])
                    return a[si + k] < b[sj + k];
            if (ei - i != ej - j)
                return false;  // same value, other text: neither comes first
        } else if ((ca == 0) != (cb == 0)) {
            return ca == 0;
        } else {
            for (size_t k = 0; i + k < ei && j + k < ej; ++k)
                if (a[i + k] != b[j + k])
                    return (a[i + k] & 0xFFFF) < (b[j + k] & 0xFFFF);
            if (ei - i != ej - j)
                return ei - i < ej - j;
        }
        i = ei;
        j = ej;
    }
    return na < nb;
}

void RegisterSort(size_t nCount)
{
    zkbench::RegisterPair(
        "SortData", std::to_string(nCount), "std::sort, plain natural-order comparator",
        [nCount](benchmark::State& state) {
            const Library& lib = Generated(nCount);
            zkbench::TimeEach(
                state,
                [&] {
                    g_holds.pList = nullptr;  // sorted: fresh copies again
                    HoldList(lib);
                },
                [] { Lib::Manager()->SortData(); });
            g_holds.pList = nullptr;
        },
        [nCount](benchmark::State& state) {
            const Library& lib = Generated(nCount);
            std::vector<PlainRecord> plain;
            for (const Row& row : lib.rows)
                plain.push_back(PlainRecord{row.guid.c_str(), row.name.c_str(),
                                            row.description.c_str(), false});
            std::vector<PlainRecord> work;
            zkbench::TimeEach(
                state,
                [&] {
                    work.clear();
                    work = plain;
                },
                [&] { std::sort(work.begin(), work.end(), PlainNaturalLess); });

            std::vector<NodeDetailResData> sorted;
            Lib::Manager()->SetVecNodeDetailResData(lib.records);
            Lib::Manager()->SortData();
            Lib::Manager()->GetVecNodeDetailResData(sorted);
            g_holds.pList = nullptr;
            bool bSame = sorted.size() == work.size();
            for (size_t i = 0; bSame && i < work.size(); ++i)
                bSame = sorted[i].GetDisplayName() == work[i].name;
            zkbench::CheckSame(bSame, "the sorted order of names");
        },
        benchmark::kMillisecond);
}

// ---- A Save that merges -------------------------------------------------------

// The library as another process that added 1% of its records saved it: a
// new record after every hundredth.
const std::string& WithOnePercentAdded(const Library& lib)
{
    static std::map<const Library*, std::string> cache;
    std::string& strBytes = cache[&lib];
    if (strBytes.empty()) {
        zkbench::TextMaker maker(4242);
        std::vector<Row> rows;
        for (size_t i = 0; i < lib.rows.size(); ++i) {
            rows.push_back(lib.rows[i]);
            if (i % 100 == 50)
                rows.push_back(Row{maker.GuidText(), maker.NodeName(), maker.Description()});
        }
        const std::string strPath = Lib::Folder() + "one-percent-added.xml";
        zkbench::SaveLikeLibrary(BuildDocument(rows), strPath);
        strBytes = zkbench::ReadFile(strPath);
        std::filesystem::remove(strPath);
    }
    return strBytes;
}

size_t RowsIn(const std::string& strBytes)
{
    size_t n = 0;
    for (size_t at = strBytes.find("<NodeDetailResDataRow"); at != std::string::npos;
         at = strBytes.find("<NodeDetailResDataRow", at + 1))
        ++n;
    return n;
}

// Save of the library just loaded, its file as loaded or as another process
// left it after adding 1% of the records.
void SaveAfterLoad(benchmark::State& state, size_t nCount, bool bOtherAdded)
{
    const Library& lib = Generated(nCount);
    const std::string& strAdded = WithOnePercentAdded(lib);
    bool bOk = true;
    zkbench::TimeEach(
        state,
        [&] {
            HoldFile(lib);
            Lib::Manager()->SetVecNodeDetailResData({});
            zkbench::SettleHeap();
            bOk = Lib::Manager()->Load() && bOk;
            g_holds.pList = &lib;
            if (bOtherAdded) {
                zkbench::WriteFile(Lib::File(), strAdded);
                g_holds.pFile = nullptr;
            }
        },
        [&] { bOk = Lib::Manager()->Save() && bOk; });
    const bool bMerged = Lib::Manager()->GetLastReport().bMerged;
    const std::string strSaved = zkbench::ReadFile(Lib::File());
    if (!bOk || bMerged != bOtherAdded ||
        RowsIn(strSaved) != RowsIn(bOtherAdded ? strAdded : lib.strBytes))
        state.SkipWithError("Save did not write what it should");
    // What the merge left (the file, the list's base) goes with a Load.
    g_holds.pFile = nullptr;
    HoldFile(lib);
    Lib::Manager()->Load();
}

void RegisterMergingSave(size_t nCount)
{
    zkbench::RegisterPair(
        "Save merging 1% added elsewhere", std::to_string(nCount), "plain Save of the same list",
        [nCount](benchmark::State& s) { SaveAfterLoad(s, nCount, true); },
        [nCount](benchmark::State& s) { SaveAfterLoad(s, nCount, false); },
        benchmark::kMillisecond);
}

// ---- CopyNode ---------------------------------------------------------------

const size_t kCopyLibrary = 10000;
const size_t kSourceIndex = 4321;
// 泵基础详图-12
const wchar_t kSourceName[] = L"\u6CF5\u57FA\u7840\u8BE6\u56FE-12";

// 10,000 records, one of them the source with nCopies earlier copies
// "<source>(1)" .. "<source>(nCopies)" spread through the list, and the
// source's drawing and slide files.
const Library& CopyLibrary(size_t nCopies)
{
    static std::map<size_t, std::unique_ptr<Library>> cache;
    std::unique_ptr<Library>& lib = cache[nCopies];
    if (lib)
        return *lib;
    std::vector<Row> rows = MakeRows(kCopyLibrary, 777);
    rows[kSourceIndex].name = kSourceName;
    std::vector<size_t> places;
    for (size_t i = 0; i < kCopyLibrary; ++i)
        if (i != kSourceIndex)
            places.push_back(i);
    std::shuffle(places.begin(), places.end(), std::mt19937(42));
    for (size_t k = 1; k <= nCopies; ++k)
        rows[places[k]].name = std::wstring(kSourceName) + L"(" + std::to_wstring(k) + L")";
    lib = MakeLibrary(std::move(rows));
    const std::string strGuid = zkbench::Utf8(lib->rows[kSourceIndex].guid);
    zkbench::WriteFile(Lib::Folder() + strGuid + ".dwg", std::string(256 * 1024, 'D'));
    zkbench::WriteFile(Lib::Folder() + strGuid + ".sld", std::string(24 * 1024, 'S'));
    return *lib;
}

// Removes the copy that the last CopyNode made, and its files.
void RemoveCopy(const Library& lib)
{
    Lib::Manager()->DelNode(static_cast<int>(kSourceIndex));
    const std::string strKeep = zkbench::Utf8(lib.rows[kSourceIndex].guid);
    for (const auto& entry : std::filesystem::directory_iterator(Lib::Folder())) {
        const std::filesystem::path& p = entry.path();
        if ((p.extension() == ".dwg" || p.extension() == ".sld") && p.stem() != strKeep)
            std::filesystem::remove(p);
    }
}

void CopyNodeWith(benchmark::State& state, size_t nCopies)
{
    const Library& lib = CopyLibrary(nCopies);
    bool bCopied = false;
    int nResult = 1;
    zkbench::TimeEach(
        state,
        [&] {
            HoldList(lib);
            if (bCopied)
                RemoveCopy(lib);
        },
        [&] {
            nResult &= Lib::Manager()->CopyNode(static_cast<int>(kSourceIndex));
            bCopied = true;
        });
    NodeDetailResData copy;
    const std::wstring strExpected =
        std::wstring(kSourceName) + L"(" + std::to_wstring(nCopies + 1) + L")";
    if (nResult != 1 || Lib::Manager()->FindDataByDisplayName(strExpected.c_str(), copy) !=
                            static_cast<int>(kSourceIndex))
        state.SkipWithError("CopyNode did not make the expected copy");
    RemoveCopy(lib);
}

void RegisterCopy()
{
    zkbench::RegisterPair(
        "CopyNode", "10k, 1000 copies", "CopyNode, 10k records, 10 earlier copies",
        [](benchmark::State& s) { CopyNodeWith(s, 1000); },
        [](benchmark::State& s) { CopyNodeWith(s, 10); }, benchmark::kMicrosecond);

    zkbench::RegisterPair(
        "CopyNode name", "10k, 1000 copies", "the loop: format, CheckNameExist, +1",
        [](benchmark::State& state) {
            const Library& lib = CopyLibrary(1000);
            std::vector<CString> names;
            for (const Row& row : lib.rows)
                names.push_back(row.name.c_str());
            const CString strBase(kSourceName);
            int nCounter = 0;
            zkbench::TimeEach(
                state, [] {},
                [&] {
                    nCounter = FirstFreeCopyNumber(
                        strBase, names.size(),
                        [&names](size_t i) -> const CString& { return names[i]; });
                });
            zkbench::CheckSame(nCounter == 1001, "the copy's name");
        },
        [](benchmark::State& state) {
            const Library& lib = CopyLibrary(1000);
            int nCounter = 0;
            zkbench::TimeEach(
                state, [&] { HoldList(lib); },
                [&] {
                    CString strName;
                    nCounter = 1;
                    strName.Format(L"%s(%d)", kSourceName, nCounter);
                    while (Lib::Manager()->CheckNameExist(strName))
                        strName.Format(L"%s(%d)", kSourceName, ++nCounter);
                });
            zkbench::CheckSame(nCounter == 1001, "the copy's name");
        },
        benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv)
{
    return zkbench::Main(argc, argv, [](bool bLarge) {
        for (const size_t n : {10000, 100000, 1000000}) {
            if (n < 1000000 || bLarge)
                zkbench::RegisterLoadSave(
                    "", std::to_string(n),
                    [n]() -> const zkbench::FileCase& { return Generated(n).file; }, true);
        }
        RegisterSort(100000);
        RegisterCopy();
        for (const size_t n : {10000, 100000})
            RegisterMergingSave(n);
    });
}
