// One product process of the multi-process test (test_merge_processes.cpp):
// rounds of Load, a random edit of each library, Save, with random pauses,
// on a data directory that other workers edit at the same time. It logs
// every edit that a successful Save wrote, and what the Save reported of its
// own records (a name changed by the merge, a conflict, a record kept), one
// tab-separated line each, for the test to check the files against.
//
//   merge_worker DATADIR ID ROUNDS SEED LOGFILE
//
// DATADIR is the product data directory as a native path.
//
// Each worker renames and deletes only the node details and fittings it
// added itself; the node details every worker shares ("Seed0" to "Seed2")
// it copies and gives new descriptions, which is where conflicts arise.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "Arguments.h"
#include "AsciiText.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

namespace {

using zktest::Ascii;

class Host : public IZkHostApplication {
public:
    explicit Host(const CString& dir) : m_dir(dir) {}
    CString GetProductDataDirectory() const override { return m_dir; }

private:
    CString m_dir;
};

CString Wide(const std::string& s)
{
    return CString(std::wstring(s.begin(), s.end()).c_str());
}

// Edits made since the last successful Save of one library: written to the
// log when a Save succeeds, forgotten when a Load replaces the list.
struct Pending {
    std::vector<std::string> lines;
};

class Worker {
public:
    Worker(int nId, unsigned nSeed, FILE* pLog) : m_nId(nId), m_rng(nSeed), m_pLog(pLog) {}

    void Round(bool bLoad)
    {
        // A Load that failed changed nothing: the edits wait for a Save.
        if (bLoad && Load(m_nd, "nd"))
            m_ndPending.lines.clear();
        if (bLoad && Load(m_fit, "fit"))
            m_fitPending.lines.clear();
        EditNodeDetails();
        EditFittings();
        Pause();
        Save(m_nd, m_ndPending, "nd");
        Pause();
        Save(m_fit, m_fitPending, "fit");
        Pause();
    }

    void Totals() const
    {
        std::fprintf(m_pLog, "totals\t%d\t%d\t%d\t%d\t%d\n", m_nSaves, m_nMerged, m_nLocked,
                     m_nFailed, m_nEdits);
    }

private:
    unsigned Random(unsigned n) { return static_cast<unsigned>(m_rng() % n); }

    void Pause()
    {
        // Mostly short, now and then long enough for another save to come
        // between this worker's Load and its Save.
        const unsigned ms = Random(10) == 0 ? 5 + Random(20) : Random(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    std::string Name(const char* pszWhat)
    {
        return "W" + std::to_string(m_nId) + "-" + pszWhat + std::to_string(++m_nCounter);
    }

    void EditNodeDetails()
    {
        std::vector<NodeDetailResData> v;
        m_nd->GetVecNodeDetailResData(v);
        std::vector<int> own;
        for (size_t i = 0; i < v.size(); ++i)
            if (m_ndOwn.count(Ascii(v[i].GetGuid())) != 0)
                own.push_back(static_cast<int>(i));
        const unsigned nChoice = Random(10);
        if (nChoice < 4 || own.empty()) {
            // A copy of a shared node detail or of one of this worker's.
            NodeDetailResData source;
            const int nSeed = static_cast<int>(Random(3));
            int nIndex = !own.empty() && Random(2) == 0
                             ? own[Random(static_cast<unsigned>(own.size()))]
                             : m_nd->FindDataByGuid(Wide("SEED-" + std::to_string(nSeed)), source);
            if (nIndex < 0)
                return;
            m_nd->CopyNode(nIndex);
            m_nd->GetVecNodeDetailResData(v);
            const std::string strGuid = Ascii(v[static_cast<size_t>(nIndex)].GetGuid());
            m_ndOwn.insert(strGuid);
            Edit(m_ndPending, "nd-add\t" + strGuid + "\t" +
                                  Ascii(v[static_cast<size_t>(nIndex)].GetDisplayName()));
        } else if (nChoice < 6) {
            const int i = own[Random(static_cast<unsigned>(own.size()))];
            const std::string strName = Name("N");
            m_nd->ModifyNodeName(i, Wide(strName));
            Edit(m_ndPending,
                 "nd-rename\t" + Ascii(v[static_cast<size_t>(i)].GetGuid()) + "\t" + strName);
        } else if (nChoice < 8) {
            const int i = own[Random(static_cast<unsigned>(own.size()))];
            m_nd->DelNode(i);
            Edit(m_ndPending, "nd-del\t" + Ascii(v[static_cast<size_t>(i)].GetGuid()));
        } else {
            // A new description of a shared node detail: the record replaced,
            // and first in the list.
            NodeDetailResData seed;
            const std::string strGuid = "SEED-" + std::to_string(Random(3));
            if (m_nd->FindDataByGuid(Wide(strGuid), seed) < 0)
                return;
            const std::string strValue = Name("D");
            seed.SetDescription(Wide(strValue));
            m_nd->AddNodeDetailResData(seed);
            Edit(m_ndPending, "nd-desc\t" + strGuid + "\t" + strValue);
        }
    }

    void EditFittings()
    {
        std::vector<FittingInfo> groups;
        m_fit->GetVecFitInfo(groups);
        std::vector<std::pair<int, int>> own;
        for (size_t g = 0; g < groups.size(); ++g)
            for (size_t r = 0; r < groups[g].GetVecFitData().size(); ++r)
                if (m_fitOwn.count(Ascii(groups[g].GetVecFitData()[r].GUID())) != 0)
                    own.emplace_back(static_cast<int>(g), static_cast<int>(r));
        const unsigned nChoice = Random(10);
        if (nChoice < 5 || own.empty()) {
            // Now and then into a type no group has at first: the groups that
            // workers add for it are one group.
            const int nType = Random(8) == 0 ? 50 : 1 + static_cast<int>(Random(3));
            FittingData fit;
            fit.SetFitType(NodeDetailEx::FittingType(nType));
            const std::string strGuid =
                "F" + std::to_string(m_nId) + "-" + std::to_string(++m_nCounter);
            const std::string strName = Name("F");
            fit.SetGUID(Wide(strGuid));
            fit.SetDisplayName(Wide(strName));
            fit.SetScale(1 + Random(4));
            fit.SetConnector(std::vector<ConnectorData>(Random(3)));
            m_fit->AddFit(fit);
            m_fitOwn.insert(strGuid);
            Edit(m_fitPending,
                 "fit-add\t" + std::to_string(nType) + "\t" + strGuid + "\t" + strName);
        } else {
            const auto [g, r] = own[Random(static_cast<unsigned>(own.size()))];
            const FittingData& fit =
                groups[static_cast<size_t>(g)].GetVecFitData()[static_cast<size_t>(r)];
            const std::string strGuid = Ascii(fit.GUID());
            if (nChoice < 8) {
                const std::string strName = Name("G");
                m_fit->ModifyFitName(g, r, Wide(strName));
                Edit(m_fitPending, "fit-rename\t" + strGuid + "\t" + strName);
            } else {
                m_fit->DelFit(g, r);
                Edit(m_fitPending, "fit-del\t" + strGuid);
            }
        }
    }

    void Edit(Pending& pending, const std::string& line) { pending.lines.push_back(line); }

    // Only a file missing for a moment may make a Load fail here; that is
    // told, so that a run shows how often.
    template <class Manager>
    bool Load(Manager* pManager, const char* pszLib)
    {
        if (pManager->Load())
            return true;
        std::fprintf(stderr, "worker %d: %s load failed: %s\n", m_nId, pszLib,
                     Ascii(pManager->GetLastReport().Describe()).c_str());
        return false;
    }

    template <class Manager>
    void Save(Manager* pManager, Pending& pending, const char* pszLib)
    {
        if (!pManager->Save()) {
            const ZkReport& report = pManager->GetLastReport();
            if (report.eOutcome == ZkOutcome::kLocked) {
                ++m_nLocked;  // the edits wait for the next Save
            } else {
                ++m_nFailed;
                std::fprintf(stderr, "worker %d: %s save failed: %s\n", m_nId, pszLib,
                             Ascii(report.Describe()).c_str());
            }
            return;
        }
        ++m_nSaves;
        const ZkReport& report = pManager->GetLastReport();
        m_nMerged += report.bMerged ? 1 : 0;
        for (const std::string& line : pending.lines)
            std::fprintf(m_pLog, "%s\n", line.c_str());
        m_nEdits += static_cast<int>(pending.lines.size());
        pending.lines.clear();
        for (const ZkMergeNote& note : report.vecMerge) {
            const std::string strGuid = Ascii(note.strGuid);
            switch (note.eKind) {
            case ZkMergeKind::kRenamed:
                std::fprintf(m_pLog, "%s-merge-rename\t%s\t%s\n", pszLib, strGuid.c_str(),
                             Ascii(note.strName).c_str());
                break;
            case ZkMergeKind::kConflict:
                std::fprintf(m_pLog, "%s-conflict\t%s\t%s\t%s\t%s\n", pszLib, strGuid.c_str(),
                             Ascii(note.strField).c_str(), Ascii(note.strOurs).c_str(),
                             Ascii(note.strTheirs).c_str());
                break;
            case ZkMergeKind::kKeptChangedHere:
            case ZkMergeKind::kKeptChangedThere:
            case ZkMergeKind::kOrder:
            case ZkMergeKind::kFileGone:
                std::fprintf(m_pLog, "%s-note\t%d\t%s\n", pszLib, static_cast<int>(note.eKind),
                             strGuid.c_str());
                break;
            default:
                break;
            }
        }
        std::fflush(m_pLog);
    }

    int m_nId;
    std::mt19937 m_rng;
    FILE* m_pLog;
    CNodeDetailResDataManager* m_nd = ZkNodeDetailResDataManager();
    CFitDataManager* m_fit = ZkFitDataManager();
    std::unordered_set<std::string> m_ndOwn, m_fitOwn;
    Pending m_ndPending, m_fitPending;
    int m_nCounter = 0;
    int m_nSaves = 0, m_nMerged = 0, m_nLocked = 0, m_nFailed = 0, m_nEdits = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<CString> args = ProgramArguments(argc, argv);
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: merge_worker DATADIR ID ROUNDS SEED LOGFILE\n");
        return 2;
    }
#if defined(_WIN32)
    Host host(args[1] + L"\\");
#else
    Host host(ZkFromNativePath(argv[1]) + L"\\");
#endif
    ZkSetHostApplication(&host);
    const int nId = std::atoi(Ascii(args[2]).c_str());
    const int nRounds = std::atoi(Ascii(args[3]).c_str());
    const unsigned nSeed = static_cast<unsigned>(std::strtoul(Ascii(args[4]).c_str(), nullptr, 10));
#if defined(_WIN32)
    FILE* pLog = _wfopen(args[5], L"wb");
#else
    FILE* pLog = std::fopen(argv[5], "wb");
#endif
    if (pLog == nullptr)
        return 2;
    Worker worker(nId, nSeed, pLog);
    // Mostly a Load first, as the product does; now and then on from the list
    // as the last Save left it, which Save must not have changed.
    for (int i = 0; i < nRounds; ++i)
        worker.Round(i == 0 || i % 3 != 2);
    worker.Totals();
    std::fclose(pLog);
    ZkSetHostApplication(nullptr);
    return 0;
}
