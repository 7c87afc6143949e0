// One file: the plan, its application and its report share the Fixer's state.
//
// zknd fix: the repairs of what check finds that can be made without making
// anything up, shown, and made only when asked. Each problem check reports
// is either repaired or said not to be, with the reason; what is renamed,
// copied or moved is listed, and the library files are kept as they were in
// a ".bak" beside them, so that all of it can be undone by hand.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <ctime>
#include <map>
#include <unordered_map>

#include "Check.h"
#include "Commands.h"
#include "Display.h"
#include "Files.h"
#include "Library.h"
#include "LibraryChange.h"
#include "ProblemJson.h"
#include "Progress.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

// What becomes of one of a node detail's files.
enum class FileAct { kKeep, kCopy, kRename, kMissing };

struct Repair {
    std::string strAction;   // rename, new-guid, canonical-guid, file-case, as-read, move,
                             // rename-fitting
    std::string strMessage;  // made when the plan is complete
    long nRecord = -1;
    CString strName;
    CString strGuid;
    CString strNewName;
    CString strNewGuid;
    bool bGuidMadeUp = false;  // a new GUID, not the old one's canonical form
    std::array<FileAct, 2> file = {FileAct::kKeep, FileAct::kKeep};
    int nKind = 0;  // file-case: which file
    fs::path from;  // file-case: the name it had; move: the file
    fs::path to;    // move: where it goes
    long nGroup = -1;
    long nRow = -1;
};

// A file copied, renamed or moved, or a library kept as it was.
struct FileStep {
    const char* pszAction;
    fs::path from;
    fs::path to;
};

// "20261207T124054Z": when, in UTC, for the name of a ".bak".
std::string Timestamp()
{
    return UtcStamp(static_cast<std::int64_t>(std::time(nullptr)));
}

// A name in the folder that nothing has: NAME, else STEM(2).EXT and on.
fs::path FreeName(const fs::path& folder, const fs::path& name)
{
    std::error_code ec;
    fs::path path = folder / name;
    for (int n = 2; fs::exists(fs::symlink_status(path, ec)); ++n) {
        fs::path next = name.stem();
        next += "(" + std::to_string(n) + ")";
        next += name.extension();
        path = folder / next;
    }
    return path;
}

class Fixer : LibraryChange {
public:
    Fixer(const DataDir& dir, bool bApply, bool bJson, FileLog& log, Output& out)
        : LibraryChange(dir, log, out),
          m_bApply(bApply),
          m_bJson(bJson),
          m_places(LibraryPlaces::Of(dir, dir.Given()))
    {
    }

    int Run()
    {
        Progress progress(m_out);
        m_findings = Check(m_dir, progress);
        m_vecRepairOf.assign(m_findings.vecProblem.size(), -1);
        m_vecWhyNot.assign(m_findings.vecProblem.size(), std::string());
        m_strNdShown = m_dir.Show(m_pNd->GetFileName());
        m_strFitShown = m_dir.Show(m_pFit->GetFileName());
        progress.Step("planning repairs");
        if (m_pNd->GetLastReport().Succeeded() && !PlanNodeDetails())
            return Fail(progress, "nothing was repaired; " + m_dir.Given() + " is as it was");
        if (m_pFit->GetLastReport().Succeeded())
            PlanFittings();
        PlanAsRead();
        for (size_t p = 0; p < m_vecRepairOf.size(); ++p)
            if (m_vecRepairOf[p] < 0 && m_vecWhyNot[p].empty())
                m_vecWhyNot[p] = WhyNotRepaired(m_findings.vecProblem[p]);
        if (m_bApply && !m_vecRepair.empty() && !Apply(progress))
            return Fail(progress, "nothing was repaired; " + m_dir.Given() + " is as it was");
        progress.Done();
        for (Repair& repair : m_vecRepair)
            repair.strMessage = Message(repair);
        PrintNotes();
        if (m_bJson)
            ReportJson();
        else
            Report();
        const bool bLeft =
            std::any_of(m_vecRepairOf.begin(), m_vecRepairOf.end(), [](long n) { return n < 0; });
        return bLeft || (!m_bApply && !m_vecRepair.empty()) ? 1 : 0;
    }

private:
    // The problems of a code about a record, by the record's position.
    std::multimap<long, size_t> ProblemsOf(const std::string& strPath, const char* pszCode) const
    {
        std::multimap<long, size_t> found;
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const Problem& problem = m_findings.vecProblem[p];
            if (problem.strPath == strPath && problem.strCode == pszCode)
                found.emplace(problem.nItem, p);
        }
        return found;
    }

    long AddRepair(Repair repair, size_t nProblem)
    {
        m_vecRepair.push_back(std::move(repair));
        const long nRepair = static_cast<long>(m_vecRepair.size() - 1);
        m_vecRepairOf[nProblem] = nRepair;
        return nRepair;
    }

    // The repair covers this problem too.
    void Covers(long nRepair, const std::multimap<long, size_t>& problems, long nRecord)
    {
        const auto range = problems.equal_range(nRecord);
        for (auto it = range.first; it != range.second; ++it)
            m_vecRepairOf[it->second] = nRepair;
    }

    // The file the system finds for a GUID text: the one spelled so, else
    // the only one that differs in letter case; -1 none, -2 several.
    long FileOf(const CString& strGuid, int nKind) const
    {
        const std::vector<size_t> vecFound = m_files.Find(strGuid, nKind);
        for (size_t e : vecFound)
            if (m_files.Entries()[e].strGuid == strGuid)
                return static_cast<long>(e);
        if (vecFound.size() == 1)
            return static_cast<long>(vecFound[0]);
        return vecFound.empty() ? -1 : -2;
    }

    // A GUID text that no record but nRecord and no file but those it is
    // taking along has.
    bool GuidFree(const CString& strGuid, long nRecord) const
    {
        const std::wstring folded = Folded(strGuid);
        const auto it = m_guidCount.find(folded);
        const int nMine =
            nRecord >= 0 && Folded(m_vecGuid[static_cast<size_t>(nRecord)]) == folded ? 1 : 0;
        if (it != m_guidCount.end() && it->second > nMine)
            return false;
        for (int nKind = 0; nKind < 2; ++nKind)
            for (size_t e : m_files.Find(strGuid, nKind)) {
                const bool bMine = nRecord >= 0 && m_vecFile[static_cast<size_t>(nRecord)][nKind] ==
                                                       static_cast<long>(e);
                if (!bMine && m_vecLeaving[e] < 0)
                    return false;
            }
        return true;
    }

    CString FreshGuid() const
    {
        CString strGuid = NewGuidText();
        while (!GuidFree(strGuid, -1))
            strGuid = NewGuidText();
        return strGuid;
    }

    void ChangeGuid(size_t i, const CString& strGuid)
    {
        --m_guidCount[Folded(m_vecGuid[i])];
        ++m_guidCount[Folded(strGuid)];
        m_vecGuid[i] = strGuid;
    }

    // The files of a node detail go with its new GUID text: copied when
    // another node detail names them too, renamed otherwise.
    void TakeFiles(Repair& repair, size_t i, const CString& strGuid, bool bCopy)
    {
        for (int nKind = 0; nKind < 2; ++nKind) {
            const long e = m_vecFile[i][nKind];
            if (e < 0) {
                repair.file[nKind] = FileAct::kMissing;
                continue;
            }
            const fs::path from = m_files.Entries()[static_cast<size_t>(e)].path;
            const fs::path to = m_places.resources / DataDir::Native(strGuid + kExtensions[nKind]);
            const bool bShared = bCopy || m_vecClaims[static_cast<size_t>(e)] > 1;
            if (!bShared)
                m_vecTakenBy[static_cast<size_t>(e)] = static_cast<long>(m_vecRepair.size());
            if (from.filename() == to.filename())
                continue;
            repair.file[nKind] = bShared ? FileAct::kCopy : FileAct::kRename;
            (bShared ? m_vecCopy : m_vecRename).push_back(FileStep{"", from, to});
            if (!bShared) {
                m_vecLeaving[static_cast<size_t>(e)] = static_cast<long>(m_vecRepair.size());
                m_vecFile[i][nKind] = -1;
            }
            --m_vecClaims[static_cast<size_t>(e)];
        }
    }

    // The repairs of node details, in steps: a second holder of a name or a
    // GUID text first, so that the files a GUID text takes along are known
    // before the files of other letter case are renamed.
    bool PlanNodeDetails()
    {
        std::vector<bool> vecProtected;
        NameSet names;
        if (!IndexRecords(vecProtected, names))
            return false;
        const RecordProblems problems = {ProblemsOf(m_strNdShown, "duplicate-name"),
                                         ProblemsOf(m_strNdShown, "duplicate-guid"),
                                         ProblemsOf(m_strNdShown, "guid-not-canonical"),
                                         ProblemsOf(m_strNdShown, "guid-not-file-name"),
                                         {ProblemsOf(m_strNdShown, "missing-drawing"),
                                          ProblemsOf(m_strNdShown, "missing-slide")}};
        PlanRenames(problems, names);
        PlanNewGuids(problems);
        PlanCanonicalGuids(problems);
        PlanFileCase(problems);
        RewriteRecords();
        PlanUnnamed(vecProtected);
        return true;
    }

    // The node-detail problems the repairs go by, each by record.
    struct RecordProblems {
        std::multimap<long, size_t> sameName;
        std::multimap<long, size_t> sameGuid;
        std::multimap<long, size_t> notCanonical;
        std::multimap<long, size_t> notFileName;
        std::multimap<long, size_t> missing[2];  // drawing, slide
    };

    // The records, their GUID texts and the files each names; false when the
    // folder cannot be listed.
    bool IndexRecords(std::vector<bool>& vecProtected, NameSet& names)
    {
        m_pNd->GetVecNodeDetailResData(m_vecRecord);
        std::error_code ec;
        if (!m_files.List(m_places.resources, ec)) {
            Error(m_places.Show(m_places.resources) + ": cannot be listed: " + ec.message());
            return false;
        }
        const size_t nEntries = m_files.Entries().size();
        m_vecClaims.assign(nEntries, 0);
        m_vecLeaving.assign(nEntries, -1);
        m_vecTakenBy.assign(nEntries, -1);
        vecProtected.assign(nEntries, false);
        for (size_t i = 0; i < m_vecRecord.size(); ++i) {
            const CString strGuid = m_vecRecord[i].GetGuid();
            m_vecGuid.push_back(strGuid);
            ++m_guidCount[Folded(strGuid)];
            names.Add(m_vecRecord[i].GetDisplayName());
            std::array<long, 2> file = {-1, -1};
            if (ZkIsPlainFileName(strGuid))
                for (int nKind = 0; nKind < 2; ++nKind) {
                    file[nKind] = FileOf(strGuid, nKind);
                    if (file[nKind] >= 0)
                        ++m_vecClaims[static_cast<size_t>(file[nKind])];
                    // Several spellings of it: none is moved away.
                    for (size_t e : m_files.Find(strGuid, nKind))
                        vecProtected[e] = vecProtected[e] || file[nKind] == -2;
                }
            m_vecFile.push_back(file);
        }
        return true;
    }

    // A repair of the record at nRecord, as it stands in the plan so far.
    Repair RecordRepair(const char* pszAction, long nRecord) const
    {
        Repair repair;
        repair.strAction = pszAction;
        repair.nRecord = nRecord;
        repair.strName = m_vecRecord[static_cast<size_t>(nRecord)].GetDisplayName();
        repair.strGuid = m_vecGuid[static_cast<size_t>(nRecord)];
        return repair;
    }

    // A file the system finds only in other letter case goes with the new
    // GUID text as well.
    void CoverFiles(long r, long nRecord, const RecordProblems& problems)
    {
        for (int nKind = 0; nKind < 2; ++nKind)
            if (m_vecRepair[static_cast<size_t>(r)].file[nKind] != FileAct::kMissing)
                Covers(r, problems.missing[nKind], nRecord);
    }

    void PlanRenames(const RecordProblems& problems, NameSet& names)
    {
        for (const auto& same : problems.sameName) {
            const size_t i = static_cast<size_t>(same.first);
            Repair repair;
            repair.strAction = "rename";
            repair.nRecord = same.first;
            repair.strName = m_vecRecord[i].GetDisplayName();
            repair.strNewName = names.NextFree(repair.strName);
            names.Add(repair.strNewName);
            AddRepair(std::move(repair), same.second);
        }
    }

    void PlanNewGuids(const RecordProblems& problems)
    {
        // A second holder of a GUID text takes a new one, with copies of the
        // files, before any first holder renames its files.
        for (const auto& same : problems.sameGuid) {
            const size_t i = static_cast<size_t>(same.first);
            if (problems.notFileName.count(same.first) != 0) {
                m_vecWhyNot[same.second] =
                    "its GUID text names no files, which a new GUID would need copies of";
                continue;
            }
            Repair repair = RecordRepair("new-guid", same.first);
            repair.strNewGuid = FreshGuid();
            repair.bGuidMadeUp = true;
            TakeFiles(repair, i, repair.strNewGuid, false);
            ChangeGuid(i, repair.strNewGuid);
            const long r = AddRepair(std::move(repair), same.second);
            Covers(r, problems.notCanonical, same.first);
            CoverFiles(r, same.first, problems);
        }
    }

    void PlanCanonicalGuids(const RecordProblems& problems)
    {
        for (const auto& odd : problems.notCanonical) {
            const size_t i = static_cast<size_t>(odd.first);
            if (m_vecRepairOf[odd.second] >= 0)
                continue;
            Repair repair = RecordRepair("canonical-guid", odd.first);
            if (!CanonicalGuid(repair.strGuid, repair.strNewGuid) ||
                !GuidFree(repair.strNewGuid, odd.first)) {
                repair.strNewGuid = FreshGuid();
                repair.bGuidMadeUp = true;
            }
            TakeFiles(repair, i, repair.strNewGuid, false);
            ChangeGuid(i, repair.strNewGuid);
            CoverFiles(AddRepair(std::move(repair), odd.second), odd.first, problems);
        }
    }

    void PlanFileCase(const RecordProblems& problems)
    {
        // A file the system finds only in other letter case (on systems that
        // do not ignore it) is renamed as the GUID text spells it.
        for (int nKind = 0; nKind < 2; ++nKind)
            for (const auto& one : problems.missing[nKind]) {
                const size_t i = static_cast<size_t>(one.first);
                const long e = m_vecFile[i][nKind];
                if (m_vecRepairOf[one.second] >= 0 || e < 0 ||
                    !m_files.Entries()[static_cast<size_t>(e)].bRegular ||
                    m_vecGuid[i] != m_vecRecord[i].GetGuid())
                    continue;
                Repair repair = RecordRepair("file-case", one.first);
                repair.nKind = nKind;
                repair.from = m_files.Entries()[static_cast<size_t>(e)].path;
                m_vecRename.push_back(FileStep{
                    "", repair.from,
                    m_places.resources / DataDir::Native(m_vecGuid[i] + kExtensions[nKind])});
                m_vecLeaving[static_cast<size_t>(e)] = static_cast<long>(m_vecRepair.size());
                m_vecTakenBy[static_cast<size_t>(e)] = static_cast<long>(m_vecRepair.size());
                AddRepair(std::move(repair), one.second);
            }
    }

    // The records as the repairs leave them.
    void RewriteRecords()
    {
        m_vecNewRecord = m_vecRecord;
        for (const Repair& repair : m_vecRepair) {
            const bool bName = repair.strAction == "rename";
            if (!bName && repair.strAction != "new-guid" && repair.strAction != "canonical-guid")
                continue;
            NodeDetailResData& data = m_vecNewRecord[static_cast<size_t>(repair.nRecord)];
            if (bName)
                data.SetDisplayName(repair.strNewName);
            else
                data.SetGuid(repair.strNewGuid);
            m_bNdRewritten = true;
        }
    }

    // Drawings and slides that no node detail names go to unreferenced/, when
    // older than the library file: a running product's copy that it has not
    // saved yet is newer.
    void PlanUnnamed(const std::vector<bool>& vecProtected)
    {
        int64_t nLibrary = 0;
        const bool bLibraryTime = WrittenAt(m_places.nodeDetails, nLibrary);
        const fs::path folder = m_places.resources / "unreferenced";
        // In check's order, which is the names' order: the listing's own is
        // the system's.
        std::map<fs::path, size_t> entries;
        for (size_t e = 0; e < m_files.Entries().size(); ++e)
            entries.emplace(m_files.Entries()[e].path.filename(), e);
        std::vector<fs::path> vecTaken;
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const std::string& strCode = m_findings.vecProblem[p].strCode;
            if (strCode != "unnamed-drawing" && strCode != "unnamed-slide")
                continue;
            const auto found =
                entries.find(fs::u8path(m_findings.vecProblem[p].strPath).filename());
            if (found == entries.end())
                continue;
            const size_t e = found->second;
            const FolderFiles::Entry& entry = m_files.Entries()[e];
            if (m_vecTakenBy[e] >= 0) {
                // A node detail's file in other letter case, taken care of above.
                m_vecRepairOf[p] = m_vecTakenBy[e];
                continue;
            }
            if (m_vecClaims[e] > 0) {
                m_vecWhyNot[p] =
                    "a node detail names it in other letter case, and it is not a regular file";
                continue;
            }
            int64_t nFile = 0;
            if (vecProtected[e]) {
                m_vecWhyNot[p] =
                    "several files differ from a node detail's GUID text only in letter case";
            } else if (!bLibraryTime || !MadeOrWrittenAt(entry.path, nFile) || nFile >= nLibrary) {
                m_vecWhyNot[p] =
                    "it is not older than the library file, as a copy that a running product "
                    "has not saved yet would be";
            } else {
                Repair repair;
                repair.strAction = "move";
                fs::path to = FreeName(folder, entry.path.filename());
                for (int n = 2; std::find(vecTaken.begin(), vecTaken.end(), to) != vecTaken.end();
                     ++n)
                    to = FreeName(
                        folder, fs::u8path(entry.path.stem().u8string() + "(" + std::to_string(n) +
                                           ")" + entry.path.extension().u8string()));
                vecTaken.push_back(to);
                repair.from = entry.path;
                repair.to = to;
                m_vecMove.push_back(FileStep{"", entry.path, to});
                AddRepair(std::move(repair), p);
            }
        }
    }

    void PlanFittings()
    {
        const auto same = ProblemsOf(m_strFitShown, "fitting-duplicate-name");
        if (same.empty())
            return;
        if (HasValueNotRead(m_strFitShown)) {
            for (const auto& problem : same)
                m_vecWhyNot[problem.second] =
                    "the fitting library holds values the library cannot read, which saving it "
                    "would replace with defaults";
            return;
        }
        std::vector<FittingInfo> vecGroup;
        m_pFit->GetVecFitInfo(vecGroup);
        std::map<long, NameSet> names;
        for (const Problem& problem : m_findings.vecProblem) {
            if (problem.strPath != m_strFitShown || problem.strCode != "fitting-duplicate-name")
                continue;
            if (names.count(problem.nItem) == 0)
                for (const FittingData& fit :
                     vecGroup[static_cast<size_t>(problem.nItem)].GetVecFitData())
                    names[problem.nItem].Add(fit.GetDisplayName());
        }
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const Problem& problem = m_findings.vecProblem[p];
            if (problem.strPath != m_strFitShown || problem.strCode != "fitting-duplicate-name")
                continue;
            const FittingData& fit = vecGroup[static_cast<size_t>(problem.nItem)]
                                         .GetVecFitData()[static_cast<size_t>(problem.nSub)];
            Repair repair;
            repair.strAction = "rename-fitting";
            repair.nGroup = problem.nItem;
            repair.nRow = problem.nSub;
            repair.strName = fit.GetDisplayName();
            repair.strGuid = fit.GUID();
            repair.strNewName = names[problem.nItem].NextFree(repair.strName);
            names[problem.nItem].Add(repair.strNewName);
            AddRepair(std::move(repair), p);
            m_bFitRewritten = true;
        }
    }

    bool HasValueNotRead(const std::string& strPath) const
    {
        return std::any_of(m_findings.vecProblem.begin(), m_findings.vecProblem.end(),
                           [&](const Problem& problem) {
                               return problem.strPath == strPath &&
                                      problem.strCode == "value-not-read";
                           });
    }

    // A character the library could not read, or an ampersand it read as
    // written, is written as the library reads it when its library is
    // written anyway; the ".bak" keeps the original.
    void PlanAsRead()
    {
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const Problem& problem = m_findings.vecProblem[p];
            if (problem.strCode != "character-replaced" && problem.strCode != "ampersand-as-text")
                continue;
            const bool bRewritten = (problem.strPath == m_strNdShown && m_bNdRewritten) ||
                                    (problem.strPath == m_strFitShown && m_bFitRewritten);
            if (!bRewritten) {
                m_vecWhyNot[p] = "fix rewrites a library file only to repair something else";
                continue;
            }
            Repair repair;
            repair.strAction = "as-read";
            repair.strMessage = problem.strMessage;
            AddRepair(std::move(repair), p);
        }
    }

    static std::string WhyNotRepaired(const Problem& problem)
    {
        const std::string& c = problem.strCode;
        if (c == "missing-drawing" || c == "missing-slide")
            return "fix does not make drawings or slides";
        if (c == "guid-not-file-name")
            return "it names no files, which a new GUID would need copies of";
        if (c == "value-not-read")
            return "fix does not make values up";
        if (c == "fitting-type-shared")
            return "the library would add a fitting to every group of its type; merge the "
                   "groups by hand";
        if (c == "duplicate-name" || c == "duplicate-guid" || c == "guid-not-canonical" ||
            c.compare(0, 8, "unnamed-") == 0 || c == "fitting-duplicate-name")
            return "the node-detail library does not load";
        return "fix repairs a library that loads";
    }

    std::string FilesPhrase(const Repair& repair) const
    {
        auto verb = [](FileAct act) {
            return act == FileAct::kCopy     ? "copied to go with it"
                   : act == FileAct::kRename ? "renamed to match"
                                             : "missing";
        };
        if (repair.file[0] == repair.file[1])
            return repair.file[0] == FileAct::kKeep
                       ? std::string()
                       : std::string("; its drawing and slide files are ") + verb(repair.file[0]);
        std::string text;
        for (int nKind = 0; nKind < 2; ++nKind)
            if (repair.file[nKind] != FileAct::kKeep)
                text += std::string("; its ") + kFileWords[nKind] + " file is " +
                        verb(repair.file[nKind]);
        return text;
    }

    std::string Message(const Repair& repair) const
    {
        const std::string strDetail = "node detail " + QuotedLine(repair.strName);
        const std::string strNew =
            m_bApply ? "the new GUID " + Utf8(repair.strNewGuid) : std::string("a new GUID");
        if (repair.strAction == "rename")
            return strDetail + " is renamed " + QuotedLine(repair.strNewName);
        if (repair.strAction == "new-guid")
            return strDetail + " gets " + strNew + FilesPhrase(repair);
        if (repair.strAction == "canonical-guid")
            return strDetail +
                   (repair.bGuidMadeUp
                        ? " gets " + strNew + " in place of " + QuotedLine(repair.strGuid)
                        : ": its GUID text is written in canonical form, " +
                              Utf8(repair.strNewGuid)) +
                   FilesPhrase(repair);
        if (repair.strAction == "file-case")
            return strDetail + ": its " + kFileWords[repair.nKind] + " file " +
                   OneLine(repair.from.filename().u8string()) + " is renamed " +
                   Utf8(repair.strGuid + kExtensions[repair.nKind]) +
                   ", as its GUID text spells it";
        if (repair.strAction == "as-read")
            return repair.strMessage + "; the library file is written so";
        if (repair.strAction == "move")
            return "no node detail names it; it is moved to " + m_places.Show(repair.to);
        return "fitting " + QuotedLine(repair.strName) + " is renamed " +
               QuotedLine(repair.strNewName);
    }

    bool Backup(const fs::path& file)
    {
        const std::string strStamp = Timestamp();
        fs::path bak = file;
        bak += "." + strStamp + ".bak";
        std::error_code ec;
        for (int n = 2; fs::exists(fs::symlink_status(bak, ec)); ++n) {
            bak = file;
            bak += "." + strStamp + "-" + std::to_string(n) + ".bak";
        }
        if (!m_log.CopyNew(file, bak, ec)) {
            Error(m_places.Show(bak) + ": not made: " + ec.message());
            return false;
        }
        m_vecDone.push_back(FileStep{"backup", file, bak});
        return true;
    }

    // Renames each step's file, stopping at the first that fails.
    bool RenameAll(const std::vector<FileStep>& steps, const char* pszDone, const char* pszNot)
    {
        std::error_code ec;
        for (const FileStep& step : steps) {
            if (!m_log.Rename(step.from, step.to, ec)) {
                Error(m_places.Show(step.from) + pszNot + m_places.Show(step.to) + ": " +
                      ec.message());
                return false;
            }
            m_vecDone.push_back(FileStep{pszDone, step.from, step.to});
        }
        return true;
    }

    bool Apply(Progress& progress)
    {
        progress.Step("keeping the libraries as they were");
        if (m_bNdRewritten && !Backup(m_places.nodeDetails))
            return false;
        if (m_bFitRewritten && !Backup(m_places.fittings))
            return false;
        std::error_code ec;
        progress.Step("copying, renaming and moving files");
        for (const FileStep& step : m_vecCopy) {
            if (!m_log.CopyNew(step.from, step.to, ec)) {
                Error(m_places.Show(step.to) + ": not copied from " + m_places.Show(step.from) +
                      ": " + ec.message());
                return false;
            }
            m_vecDone.push_back(FileStep{"copied", step.from, step.to});
        }
        if (!RenameAll(m_vecRename, "renamed", ": not renamed "))
            return false;
        if (!m_vecMove.empty() && !m_log.MakeFolders(m_vecMove.front().to.parent_path(), ec)) {
            Error(m_places.Show(m_vecMove.front().to.parent_path()) +
                  ": cannot be made: " + ec.message());
            return false;
        }
        if (!RenameAll(m_vecMove, "moved", ": not moved to "))
            return false;
        if (!m_vecCopy.empty() || !m_vecRename.empty() || !m_vecMove.empty())
            WriteOut(m_places.resources);
        RunBeforeSave();
        if (m_bNdRewritten) {
            progress.Step("saving " + m_places.Show(m_places.nodeDetails));
            m_pNd->SetVecNodeDetailResData(m_vecNewRecord);
            if (!Saved(m_pNd))
                return false;
        }
        if (m_bFitRewritten) {
            progress.Step("saving " + m_places.Show(m_places.fittings));
            // ModifyFitName brings the fitting first in its group, moving those
            // before it back by one: renamed from the first row on, the rows
            // behind keep their places.
            std::vector<const Repair*> vecRename;
            for (const Repair& repair : m_vecRepair)
                if (repair.strAction == "rename-fitting")
                    vecRename.push_back(&repair);
            std::stable_sort(
                vecRename.begin(), vecRename.end(), [](const Repair* a, const Repair* b) {
                    return a->nGroup != b->nGroup ? a->nGroup < b->nGroup : a->nRow < b->nRow;
                });
            for (const Repair* pRepair : vecRename)
                m_pFit->ModifyFitName(static_cast<int>(pRepair->nGroup),
                                      static_cast<int>(pRepair->nRow), pRepair->strNewName);
            if (!Saved(m_pFit)) {
                if (m_bNdRewritten)
                    TakeBack(m_vecRecord, m_strNdShown +
                                              ": holds the repairs, which could not be taken out "
                                              "again; its .bak holds it as it was");
                return false;
            }
        }
        m_log.Commit();
        return true;
    }

    // A name that a save gave in place of the one planned becomes the one
    // the repair tells.
    void TakeRename(const ZkMergeNote& note) override
    {
        for (Repair& repair : m_vecRepair) {
            const bool bDetail =
                repair.strAction == "rename" && note.strSection == L"NodeDetailResDataRow" &&
                m_vecNewRecord[static_cast<size_t>(repair.nRecord)].GetGuid() == note.strGuid;
            const bool bFitting = repair.strAction == "rename-fitting" &&
                                  note.strSection == L"FitRow" && repair.strGuid == note.strGuid;
            if ((bDetail || bFitting) && repair.strNewName == note.strOurs)
                repair.strNewName = note.strName;
        }
    }

    std::string Where(const Problem& problem) const
    {
        std::string text = problem.strPath;
        if (problem.nLine > 0) {
            text += ":" + std::to_string(problem.nLine);
            if (problem.nColumn > 0)
                text += ":" + std::to_string(problem.nColumn);
        }
        return text;
    }

    void Report()
    {
        std::string text;
        std::vector<bool> vecShown(m_vecRepair.size(), false);
        size_t nLeft = 0;
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const Problem& problem = m_findings.vecProblem[p];
            const long r = m_vecRepairOf[p];
            if (r >= 0) {
                if (!vecShown[static_cast<size_t>(r)])
                    text += Where(problem) +
                            ": repair: " + OneLine(m_vecRepair[static_cast<size_t>(r)].strMessage) +
                            "\n";
                vecShown[static_cast<size_t>(r)] = true;
                continue;
            }
            Problem left = problem;
            left.strMessage += " (not repaired: " + m_vecWhyNot[p] + ")";
            text += FormatProblem(left);
            ++nLeft;
        }
        for (const FileStep& step : m_vecDone)
            text += std::string(step.pszAction) + ": " + m_places.Show(step.from) + " -> " +
                    m_places.Show(step.to) + "\n";
        m_out.Out(text);
        const std::string strRepairs = std::to_string(m_vecRepair.size()) + " repair(s)";
        const std::string strLeft = std::to_string(nLeft) + " problem(s) fix cannot repair";
        if (m_vecRepair.empty() && nLeft == 0)
            return;
        m_out.Err("zknd: " + m_dir.Given() + ": " +
                  (m_vecRepair.empty() ? std::string()
                   : m_bApply          ? strRepairs + " made, "
                                       : strRepairs + " to make (--apply makes them), ") +
                  strLeft + "\n");
    }

    void ReportJson()
    {
        using Json = nlohmann::ordered_json;
        auto place = [](const Problem& problem) {
            return Json{{"path", problem.strPath},
                        {"line", problem.nLine},
                        {"column", problem.nColumn},
                        {"code", problem.strCode}};
        };
        Json repairs = Json::array();
        std::vector<bool> vecShown(m_vecRepair.size(), false);
        Json left = Json::array();
        for (size_t p = 0; p < m_findings.vecProblem.size(); ++p) {
            const Problem& problem = m_findings.vecProblem[p];
            const long r = m_vecRepairOf[p];
            if (r < 0) {
                Json item = ProblemJson(problem);
                item["reason"] = m_vecWhyNot[p];
                left.push_back(std::move(item));
                continue;
            }
            if (vecShown[static_cast<size_t>(r)])
                continue;
            vecShown[static_cast<size_t>(r)] = true;
            const Repair& repair = m_vecRepair[static_cast<size_t>(r)];
            Json item = place(problem);
            item["action"] = repair.strAction;
            item["message"] = repair.strMessage;
            if (repair.nRecord >= 0 || repair.nGroup >= 0) {
                item["name"] = Utf8(repair.strName);
                item["guid"] = Utf8(repair.strGuid);
            }
            if (!repair.strNewName.IsEmpty())
                item["newName"] = Utf8(repair.strNewName);
            if (!repair.strNewGuid.IsEmpty() && m_bApply)
                item["newGuid"] = Utf8(repair.strNewGuid);
            if (repair.strAction == "move")
                item["to"] = m_places.Show(repair.to);
            repairs.push_back(std::move(item));
        }
        Json files = Json::array();
        for (const FileStep& step : m_vecDone)
            files.push_back(Json{{"action", step.pszAction},
                                 {"from", m_places.Show(step.from)},
                                 {"to", m_places.Show(step.to)}});
        const Json result = {{"dataDirectory", m_dir.Given()},
                             {"applied", m_bApply && !m_vecRepair.empty()},
                             {"repairs", std::move(repairs)},
                             {"notRepaired", std::move(left)},
                             {"files", std::move(files)}};
        m_out.Out(result.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
    }

    const bool m_bApply;
    const bool m_bJson;
    const LibraryPlaces m_places;
    std::string m_strNdShown;
    std::string m_strFitShown;
    Findings m_findings;
    std::vector<long> m_vecRepairOf;  // per problem: the repair, or -1
    std::vector<std::string> m_vecWhyNot;
    std::vector<Repair> m_vecRepair;

    std::vector<NodeDetailResData> m_vecRecord;
    std::vector<NodeDetailResData> m_vecNewRecord;
    std::vector<CString> m_vecGuid;  // each record's GUID text as planned
    std::unordered_map<std::wstring, int> m_guidCount;
    FolderFiles m_files;
    std::vector<std::array<long, 2>> m_vecFile;  // each record's files: entry, -1 none, -2 several
    std::vector<int> m_vecClaims;                // per entry: how many records name it
    std::vector<long> m_vecLeaving;  // per entry: the repair that renames it away, or -1
    std::vector<long> m_vecTakenBy;  // per entry: the repair that gives it its record's name, or -1
    bool m_bNdRewritten = false;
    bool m_bFitRewritten = false;

    std::vector<FileStep> m_vecCopy;
    std::vector<FileStep> m_vecRename;
    std::vector<FileStep> m_vecMove;
    std::vector<FileStep> m_vecDone;
};

}  // namespace

int FixCommand(const std::string& strDataDir, bool bApply, bool bJson, Output& out)
{
    DataDir dir;
    if (!dir.AttachOrTell(strDataDir, out))
        return 2;
    FileLog log;
    return Fixer(dir, bApply, bJson, log, out).Run();
}

}  // namespace zknd
