// One file: the plan, its carrying out and its report share the Import's state.
//
// zknd import: node details with their drawings and slides, and fittings by
// group, from one data directory into another, as the library would add
// them; export runs the same into a new data directory.
//
// The managers serve the target (the data directory zknd is bound to), so
// that every write of a library file is the library's own Save; the source
// is only read, through the property exchange (Library.h).

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

#include "Check.h"
#include "Commands.h"
#include "Display.h"
#include "Files.h"
#include "Library.h"
#include "LibraryChange.h"
#include "Progress.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkPath.h"

namespace zknd {

namespace fs = std::filesystem;

namespace {

std::function<void()>& BeforeSave()
{
    static std::function<void()> fn;
    return fn;
}

// kConflict: not brought in because of something else that is there.
enum class Result { kAdded, kSkipped, kFailed, kConflict };

// What became of one node detail of the source.
struct Detail {
    CString strName;
    CString strGuid;
    Result eResult = Result::kFailed;
    CString strAsName;  // added: its name in the target; skipped: the one found there
    CString strAsGuid;
    std::string strWhy;  // skipped or failed: why
    std::array<fs::path, 2> from;
    std::array<fs::path, 2> to;
};

// What became of one fitting of the source.
struct Fitting {
    FittingData fit;
    CString strAsName;
    Result eResult = Result::kFailed;
    std::string strWhy;
};

// Everything stored of a fitting but its name, which an earlier import may
// have changed.
bool SameButName(const FittingData& a, const FittingData& b)
{
    auto same3 = [](const stu3Value& x, const stu3Value& y) {
        return x.x == y.x && x.y == y.y && x.z == y.z;
    };
    std::vector<ConnectorData> vecA;
    std::vector<ConnectorData> vecB;
    a.GetConnector(vecA);
    b.GetConnector(vecB);
    if (vecA.size() != vecB.size())
        return false;
    for (size_t i = 0; i < vecA.size(); ++i)
        if (!same3(vecA[i].GetPos(), vecB[i].GetPos()) ||
            vecA[i].GetAngle() != vecB[i].GetAngle() ||
            vecA[i].GetConType() != vecB[i].GetConType() ||
            vecA[i].GetIndex() != vecB[i].GetIndex())
            return false;
    return a.GUID().CompareNoCase(b.GUID()) == 0 && same3(a.GetPos(), b.GetPos()) &&
           a.GetBlockName() == b.GetBlockName() && a.GetScale() == b.GetScale() &&
           a.GetDescription() == b.GetDescription() && same3(a.GetDirection(), b.GetDirection()) &&
           same3(a.GetButtressPos(), b.GetButtressPos());
}

std::string DetailLine(const Detail& d)
{
    const std::string strWho = QuotedLine(d.strName) + " " + OneLine(Utf8(d.strGuid));
    switch (d.eResult) {
    case Result::kAdded: {
        const bool bRenamed = d.strAsName != d.strName;
        const bool bNewGuid = d.strAsGuid != d.strGuid;
        if (bRenamed && bNewGuid)
            return "renamed, new GUID " + strWho + " to " + QuotedLine(d.strAsName) + " " +
                   Utf8(d.strAsGuid) + "\n";
        if (bRenamed)
            return "renamed " + strWho + " to " + QuotedLine(d.strAsName) + "\n";
        if (bNewGuid)
            return "new GUID " + strWho + " to " + Utf8(d.strAsGuid) + "\n";
        return "added " + strWho + "\n";
    }
    case Result::kSkipped:
        return "skipped " + strWho + ": " + d.strWhy + "\n";
    case Result::kFailed:
    case Result::kConflict:
        break;
    }
    return "failed " + strWho + ": " + d.strWhy + "\n";
}

std::string FittingLine(const Fitting& f)
{
    const CString strGuid = f.fit.GUID();
    const std::string strWho = "fitting " + QuotedLine(f.fit.GetDisplayName()) +
                               (strGuid.IsEmpty() ? "" : " " + OneLine(Utf8(strGuid))) + " (type " +
                               std::to_string(static_cast<int>(f.fit.GetFitType())) + ")";
    switch (f.eResult) {
    case Result::kAdded:
        if (f.strAsName != f.fit.GetDisplayName())
            return "renamed " + strWho + " to " + QuotedLine(f.strAsName) + "\n";
        return "added " + strWho + "\n";
    case Result::kSkipped:
    case Result::kConflict:
        return "skipped " + strWho + ": " + f.strWhy + "\n";
    case Result::kFailed:
        break;
    }
    return "failed " + strWho + ": " + f.strWhy + "\n";
}

const char* ResultCode(const Detail& d)
{
    if (d.eResult == Result::kSkipped)
        return "skipped";
    if (d.eResult == Result::kFailed)
        return "failed";
    const bool bRenamed = d.strAsName != d.strName;
    const bool bNewGuid = d.strAsGuid != d.strGuid;
    return bRenamed && bNewGuid ? "renamed-new-guid"
           : bRenamed           ? "renamed"
           : bNewGuid           ? "new-guid"
                                : "added";
}

// The import as planned, then carried out.
class Import : LibraryChange {
public:
    Import(const TransferArgs& args, const DataDir& target, FileLog& log, Output& out)
        : LibraryChange(target, log, out),
          m_args(args),
          m_from(LibraryPlaces::Of(target, args.strFrom)),
          m_to(LibraryPlaces::Of(target, args.strTo))
    {
    }

    int Run()
    {
        Progress progress(m_out);
        if (!ReadSource(progress) || !LoadTarget(progress))
            return Fail(progress);
        progress.Step("comparing with " + m_args.strTo);
        if (!PlanDetails() || (m_args.bFittings && !PlanFittings()))
            return Fail(progress);
        if (!CarryOut(progress))
            return Fail(progress);
        m_log.Commit();
        progress.Done();
        Report();
        const bool bAllDone =
            std::none_of(m_vecDetail.begin(), m_vecDetail.end(),
                         [](const Detail& d) { return d.eResult == Result::kFailed; }) &&
            std::none_of(m_vecFitting.begin(), m_vecFitting.end(), [](const Fitting& f) {
                return f.eResult == Result::kFailed || f.eResult == Result::kConflict;
            });
        return bAllDone ? 0 : 1;
    }

private:
    int Fail(Progress& progress)
    {
        return LibraryChange::Fail(
            progress, m_bChanging ? "nothing was imported; " + m_args.strTo + " is as it was"
                                  : std::string());
    }

    bool ReadSource(Progress& progress)
    {
        std::string strWhy;
        progress.Step("reading " + m_from.Show(m_from.nodeDetails));
        if (!ReadNodeDetails(m_from.nodeDetails, m_vecSource, strWhy)) {
            Error(m_from.Show(m_from.nodeDetails) + ": not read: " + strWhy + " (zknd check " +
                  m_args.strFrom + " tells more)");
            return false;
        }
        if (m_args.bFittings) {
            progress.Step("reading " + m_from.Show(m_from.fittings));
            if (!ReadFittings(m_from.fittings, m_vecSourceGroup, m_vecUnread, strWhy)) {
                Error(m_from.Show(m_from.fittings) + ": not read: " + strWhy + " (zknd check " +
                      m_args.strFrom + " tells more)");
                return false;
            }
        }
        // Each name as the library finds it: the first record of that name,
        // letter case ignored.
        std::vector<bool> vecPicked(m_vecSource.size(), m_args.vecName.empty());
        for (const std::string& strName : m_args.vecName) {
            const CString strWanted = FromUtf8(strName);
            const auto it = std::find_if(
                m_vecSource.begin(), m_vecSource.end(), [&](const NodeDetailResData& data) {
                    return data.GetDisplayName().CompareNoCase(strWanted) == 0;
                });
            if (it == m_vecSource.end())
                Error(m_args.strFrom + " holds no node detail named \"" + strName + "\"");
            else
                vecPicked[static_cast<size_t>(it - m_vecSource.begin())] = true;
        }
        for (size_t i = 0; i < m_vecSource.size(); ++i)
            if (vecPicked[i])
                m_vecPick.push_back(i);
        return m_vecError.empty();
    }

    template <typename Manager>
    bool LoadLibrary(Manager* pLib, const fs::path& file, bool& bExisted)
    {
        std::error_code ec;
        bExisted = fs::exists(fs::symlink_status(file, ec));
        if (!bExisted || pLib->Load())
            return true;
        AddErrorLines(pLib->GetLastReport(), m_dir.Show(pLib->GetFileName()), m_vecError);
        return false;
    }

    bool LoadTarget(Progress& progress)
    {
        progress.Step("reading " + m_to.Show(m_to.nodeDetails));
        if (!LoadLibrary(m_pNd, m_to.nodeDetails, m_bNdExisted))
            return false;
        m_pNd->GetVecNodeDetailResData(m_vecTarget);
        m_vecOriginal = m_vecTarget;
        // A data directory is whole with a fitting library, if only an empty one.
        std::error_code ec;
        m_bFitExisted = fs::exists(fs::symlink_status(m_to.fittings, ec));
        if (m_args.bFittings) {
            progress.Step("reading " + m_to.Show(m_to.fittings));
            if (!LoadLibrary(m_pFit, m_to.fittings, m_bFitExisted))
                return false;
            for (const ZkWarning& warning : m_pFit->GetLastReport().vecWarning)
                if (warning.eKind == ZkWarningKind::kValueNotRead) {
                    Error(m_to.Show(m_to.fittings) +
                          ": holds values the library cannot read, which saving would replace "
                          "with defaults; fittings are not imported (zknd check " +
                          m_args.strTo + " shows them)");
                    return false;
                }
            m_pFit->GetVecFitInfo(m_vecTargetGroup);
        }
        if (!m_files.List(m_to.resources, ec)) {
            Error(m_to.Show(m_to.resources) + ": cannot be listed: " + ec.message());
            return false;
        }
        return true;
    }

    // Whether a GUID text is free in the target: no node detail has it and
    // no file is named after it, letter case ignored.
    bool GuidFree(const CString& strGuid) const
    {
        return m_guids.count(Folded(strGuid)) == 0 && !m_files.Has(strGuid);
    }

    std::array<fs::path, 2> FilesOf(const fs::path& folder, const CString& strGuid) const
    {
        return {folder / DataDir::Native(strGuid + kExtensions[0]),
                folder / DataDir::Native(strGuid + kExtensions[1])};
    }

    // The node detail of the target, there before this import, that the
    // source's detail already is: the same GUID text, or another with the
    // same description, and the same files' bytes either way.
    long AlreadyThere(const NodeDetailResData& source, const std::array<fs::path, 2>& from)
    {
        auto sameFiles = [&](size_t j) {
            const CString strThere = m_vecTarget[j].GetGuid();
            if (!ZkIsPlainFileName(strThere))
                return false;
            const std::array<fs::path, 2> to = FilesOf(m_to.resources, strThere);
            return SameBytes(from[0], to[0]) && SameBytes(from[1], to[1]);
        };
        CString strCanonical;
        for (const CString& strGuid :
             {source.GetGuid(),
              CanonicalGuid(source.GetGuid(), strCanonical) ? strCanonical : CString()}) {
            const auto it = m_oldGuids.find(Folded(strGuid));
            if (!strGuid.IsEmpty() && it != m_oldGuids.end() && sameFiles(it->second))
                return static_cast<long>(it->second);
        }
        if (m_oldContents.empty())
            for (size_t j = 0; j < m_vecOriginal.size(); ++j) {
                const CString strGuid = m_vecOriginal[j].GetGuid();
                if (ZkIsPlainFileName(strGuid))
                    m_oldContents.emplace(ContentKey(m_vecOriginal[j].GetDescription(),
                                                     FilesOf(m_to.resources, strGuid)),
                                          j);
            }
        const auto range = m_oldContents.equal_range(ContentKey(source.GetDescription(), from));
        for (auto it = range.first; it != range.second; ++it)
            if (sameFiles(it->second))
                return static_cast<long>(it->second);
        return -1;
    }

    // A description and the sizes of the two files: details of the same
    // key are compared byte for byte, so that a library of many details of
    // one description (or none) is not read whole for each.
    static std::wstring ContentKey(const CString& strDescription,
                                   const std::array<fs::path, 2>& files)
    {
        std::wstring key(strDescription.GetString(),
                         static_cast<size_t>(strDescription.GetLength()));
        for (const fs::path& file : files) {
            std::error_code ec;
            const auto nSize = fs::file_size(file, ec);
            key += L'\n' + (ec ? std::wstring(L"-") : std::to_wstring(nSize));
        }
        return key;
    }

    bool PlanDetails()
    {
        for (size_t j = 0; j < m_vecTarget.size(); ++j) {
            const NodeDetailResData& data = m_vecTarget[j];
            m_names.Add(data.GetDisplayName());
            m_guids.emplace(Folded(data.GetGuid()), j);
            m_oldGuids.emplace(Folded(data.GetGuid()), j);
        }
        for (size_t i : m_vecPick) {
            const NodeDetailResData& source = m_vecSource[i];
            Detail d;
            d.strName = source.GetDisplayName();
            d.strGuid = source.GetGuid();
            const wchar_t* pszWhy = L"";
            if (!ZkIsPlainFileName(d.strGuid, &pszWhy)) {
                d.strWhy = "its GUID text cannot name a file: " + Utf8(pszWhy);
                m_vecDetail.push_back(std::move(d));
                continue;
            }
            d.from = FilesOf(m_from.resources, d.strGuid);
            for (int nKind = 0; nKind < 2 && d.strWhy.empty(); ++nKind) {
                const std::string strWhy = WhyNotAFile(d.from[nKind]);
                if (!strWhy.empty())
                    d.strWhy = std::string("its ") + kFileWords[nKind] + " file " +
                               Utf8(d.strGuid + kExtensions[nKind]) + " " + strWhy;
            }
            if (!d.strWhy.empty()) {
                m_vecDetail.push_back(std::move(d));
                continue;
            }
            const long nThere = AlreadyThere(source, d.from);
            if (nThere >= 0) {
                const NodeDetailResData& there = m_vecTarget[static_cast<size_t>(nThere)];
                d.eResult = Result::kSkipped;
                d.strAsName = there.GetDisplayName();
                d.strAsGuid = there.GetGuid();
                d.strWhy = "already there as " + QuotedLine(d.strAsName) + " " + Utf8(d.strAsGuid);
                m_vecDetail.push_back(std::move(d));
                continue;
            }
            // The canonical GUID text, unless the target has it already.
            CString strGuid = d.strGuid;
            if (!IsCanonicalGuid(strGuid) && !CanonicalGuid(d.strGuid, strGuid))
                strGuid = NewGuidText();
            while (!GuidFree(strGuid))
                strGuid = NewGuidText();
            d.strAsGuid = strGuid;
            d.strAsName = m_names.Has(d.strName) ? m_names.NextFree(d.strName) : CString(d.strName);
            d.to = FilesOf(m_to.resources, strGuid);
            d.eResult = Result::kAdded;
            m_names.Add(d.strAsName);
            m_guids.emplace(Folded(strGuid), m_vecTarget.size());
            NodeDetailResData added = source;
            added.SetGuid(strGuid);
            added.SetDisplayName(d.strAsName);
            added.SetCheck(false);
            m_vecTarget.push_back(std::move(added));
            m_vecDetail.push_back(std::move(d));
        }
        return true;
    }

    bool PlanFittings()
    {
        // The target's fittings of each type, with those this import adds.
        struct Type {
            int nGroups = 0;
            std::vector<FittingData> vecFit;
            NameSet names;
            size_t nOld = 0;
        };
        std::unordered_map<int, Type> types;
        for (FittingInfo& group : m_vecTargetGroup) {
            Type& type = types[static_cast<int>(group.GetFitType())];
            if (++type.nGroups > 1)
                continue;
            type.vecFit = group.GetVecFitData();
            for (const FittingData& fit : type.vecFit)
                type.names.Add(fit.GetDisplayName());
            type.nOld = type.vecFit.size();
        }
        for (size_t g = 0; g < m_vecSourceGroup.size(); ++g) {
            const std::vector<FittingData>& vecFit = m_vecSourceGroup[g].GetVecFitData();
            const int nType = static_cast<int>(m_vecSourceGroup[g].GetFitType());
            Type& type = types[nType];
            for (size_t r = 0; r < vecFit.size(); ++r) {
                Fitting f;
                f.fit = vecFit[r];
                for (const UnreadValue& value : m_vecUnread)
                    if (value.nGroup == g && (value.nRow < 0 || value.nRow == static_cast<long>(r)))
                        f.strWhy += (f.strWhy.empty() ? "" : "; ") + value.strMessage;
                if (f.strWhy.empty() && type.nGroups > 1)
                    f.strWhy = "the target has " + std::to_string(type.nGroups) +
                               " groups of type " + std::to_string(nType) +
                               ", and the library would add it to each";
                if (!f.strWhy.empty()) {
                    m_vecFitting.push_back(std::move(f));
                    continue;
                }
                PlanFitting(f, type.vecFit, type.names);
                if (f.eResult == Result::kAdded) {
                    FittingData added = f.fit;
                    added.SetDisplayName(f.strAsName);
                    added.SetCheck(false);
                    type.names.Add(f.strAsName);
                    type.vecFit.push_back(added);
                    auto it = std::find_if(m_fitsToAdd.begin(), m_fitsToAdd.end(),
                                           [nType](const auto& add) { return add.first == nType; });
                    if (it == m_fitsToAdd.end())
                        it = m_fitsToAdd.emplace(m_fitsToAdd.end(), nType,
                                                 std::vector<FittingData>());
                    it->second.push_back(std::move(added));
                }
                m_vecFitting.push_back(std::move(f));
            }
        }
        return true;
    }

    // Fittings keep their GUID texts, which callers own: a fitting whose GUID
    // text another fitting of its type has is not brought in.
    static void PlanFitting(Fitting& f, const std::vector<FittingData>& vecThere,
                            const NameSet& names)
    {
        const CString strGuid = f.fit.GUID();
        const CString strName = f.fit.GetDisplayName();
        for (const FittingData& there : vecThere) {
            const bool bSameGuid = !strGuid.IsEmpty() && there.GUID().CompareNoCase(strGuid) == 0;
            const bool bSameNoGuid = strGuid.IsEmpty() && there.GUID().IsEmpty() &&
                                     there.GetDisplayName().CompareNoCase(strName) == 0;
            if (!bSameGuid && !bSameNoGuid)
                continue;
            if (SameButName(there, f.fit)) {
                f.eResult = Result::kSkipped;
                f.strWhy = "already there as " + QuotedLine(there.GetDisplayName());
            } else if (bSameGuid) {
                f.eResult = Result::kConflict;
                f.strWhy = "its GUID text is that of another fitting of its type, " +
                           QuotedLine(there.GetDisplayName());
            } else {
                f.strWhy =
                    "another fitting of its type has that name, and neither has a GUID "
                    "text to tell them apart";
            }
            return;
        }
        f.eResult = Result::kAdded;
        f.strAsName = names.Has(strName) ? names.NextFree(strName) : strName;
    }

    bool CarryOut(Progress& progress)
    {
        m_bChanging = true;
        const bool bNdChanged = m_vecTarget.size() != m_vecOriginal.size();
        const bool bFitChanged = !m_fitsToAdd.empty();
        std::error_code ec;
        if ((bNdChanged || !m_bNdExisted) && !m_log.MakeFolders(m_to.resources, ec)) {
            Error(m_to.Show(m_to.resources) + ": cannot be made: " + ec.message());
            return false;
        }
        if (!m_bFitExisted && !m_log.MakeFolders(m_to.fittings.parent_path(), ec)) {
            Error(m_to.Show(m_to.fittings.parent_path()) + ": cannot be made: " + ec.message());
            return false;
        }
        size_t nDone = 0;
        for (const Detail& d : m_vecDetail) {
            if (d.eResult != Result::kAdded)
                continue;
            progress.Step("copying files: " + std::to_string(++nDone) + " of " +
                          std::to_string(m_vecTarget.size() - m_vecOriginal.size()) +
                          " node details");
            for (int nKind = 0; nKind < 2; ++nKind)
                if (!m_log.CopyNew(d.from[nKind], d.to[nKind], ec)) {
                    Error(m_to.Show(d.to[nKind]) + ": not copied from " +
                          m_from.Show(d.from[nKind]) + ": " + ec.message());
                    return false;
                }
        }
        if (bNdChanged)
            WriteOut(m_to.resources);
        RunBeforeSave();

        progress.Step("saving " + m_to.Show(m_to.nodeDetails));
        if (bNdChanged || !m_bNdExisted) {
            if (!m_bNdExisted)
                m_log.Made(m_to.nodeDetails);
            m_pNd->SetVecNodeDetailResData(m_vecTarget);
            if (!Saved(m_pNd))
                return false;
        }
        if (bFitChanged || !m_bFitExisted) {
            progress.Step("saving " + m_to.Show(m_to.fittings));
            if (!m_bFitExisted)
                m_log.Made(m_to.fittings);
            // AddFit puts each first in its group: the last goes in first.
            for (auto& type : m_fitsToAdd)
                for (auto it = type.second.rbegin(); it != type.second.rend(); ++it)
                    m_pFit->AddFit(*it);
            if (!Saved(m_pFit)) {
                if (m_bNdExisted && bNdChanged)
                    TakeBack(m_vecOriginal, m_to.Show(m_to.nodeDetails) +
                                                ": holds the node details imported, which could "
                                                "not be taken out again");
                return false;
            }
        }
        return true;
    }

    // A name that a save gave in place of the one planned becomes the one
    // the line tells.
    void TakeRename(const ZkMergeNote& note) override
    {
        for (Detail& d : m_vecDetail)
            if (note.strSection == L"NodeDetailResDataRow" && d.eResult == Result::kAdded &&
                d.strAsGuid == note.strGuid && d.strAsName == note.strOurs)
                d.strAsName = note.strName;
        for (Fitting& f : m_vecFitting)
            if (note.strSection == L"FitRow" && f.eResult == Result::kAdded &&
                static_cast<int>(f.fit.GetFitType()) == note.nFitType &&
                f.fit.GUID() == note.strGuid && f.strAsName == note.strOurs)
                f.strAsName = note.strName;
    }

    void Report()
    {
        PrintNotes();
        // Added, skipped (conflicts too), failed.
        size_t nCount[2][3] = {};
        const int kColumn[] = {0, 1, 2, 1};
        for (const Detail& d : m_vecDetail)
            ++nCount[0][kColumn[static_cast<int>(d.eResult)]];
        for (const Fitting& f : m_vecFitting)
            ++nCount[1][kColumn[static_cast<int>(f.eResult)]];
        if (m_args.bJson) {
            ReportJson(nCount);
            return;
        }
        std::string text;
        for (const Detail& d : m_vecDetail)
            text += DetailLine(d);
        for (const Fitting& f : m_vecFitting)
            text += FittingLine(f);
        m_out.Out(text);
        auto counts = [](const size_t(&n)[3]) {
            return std::to_string(n[0]) + " added, " + std::to_string(n[1]) + " skipped, " +
                   std::to_string(n[2]) + " failed";
        };
        m_out.Err("zknd: " + m_args.strTo + ": node details " + counts(nCount[0]) +
                  (m_args.bFittings ? "; fittings " + counts(nCount[1]) : std::string()) + "\n");
    }

    void ReportJson(const size_t (&nCount)[2][3])
    {
        using Json = nlohmann::ordered_json;
        Json details = Json::array();
        for (const Detail& d : m_vecDetail) {
            Json item = {
                {"name", Utf8(d.strName)}, {"guid", Utf8(d.strGuid)}, {"result", ResultCode(d)}};
            if (d.eResult != Result::kFailed) {
                item["asName"] = Utf8(d.strAsName);
                item["asGuid"] = Utf8(d.strAsGuid);
            }
            if (d.eResult != Result::kAdded)
                item["reason"] = d.strWhy;
            details.push_back(std::move(item));
        }
        Json fittings = Json::array();
        for (const Fitting& f : m_vecFitting) {
            Json item = {{"fitType", static_cast<int>(f.fit.GetFitType())},
                         {"name", Utf8(f.fit.GetDisplayName())},
                         {"guid", Utf8(f.fit.GUID())}};
            const bool bRenamed =
                f.eResult == Result::kAdded && f.strAsName != f.fit.GetDisplayName();
            item["result"] = bRenamed                         ? "renamed"
                             : f.eResult == Result::kAdded    ? "added"
                             : f.eResult == Result::kSkipped  ? "skipped"
                             : f.eResult == Result::kConflict ? "conflict"
                                                              : "failed";
            if (f.eResult == Result::kAdded)
                item["asName"] = Utf8(f.strAsName);
            else
                item["reason"] = f.strWhy;
            fittings.push_back(std::move(item));
        }
        auto counts = [](const size_t(&n)[3]) {
            return Json{{"added", n[0]}, {"skipped", n[1]}, {"failed", n[2]}};
        };
        Json result = {{"from", m_args.strFrom},
                       {"to", m_args.strTo},
                       {"counts", {{"nodeDetails", counts(nCount[0])}}},
                       {"nodeDetails", std::move(details)}};
        if (m_args.bFittings) {
            result["counts"]["fittings"] = counts(nCount[1]);
            result["fittings"] = std::move(fittings);
        }
        m_out.Out(result.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
    }

    const TransferArgs& m_args;
    const LibraryPlaces m_from;
    const LibraryPlaces m_to;
    bool m_bChanging = false;  // the target may have been touched

    std::vector<NodeDetailResData> m_vecSource;
    std::vector<size_t> m_vecPick;
    std::vector<FittingInfo> m_vecSourceGroup;
    std::vector<UnreadValue> m_vecUnread;

    bool m_bNdExisted = false;
    bool m_bFitExisted = false;
    std::vector<NodeDetailResData> m_vecOriginal;
    std::vector<NodeDetailResData> m_vecTarget;  // with those added
    std::vector<FittingInfo> m_vecTargetGroup;
    FolderFiles m_files;
    NameSet m_names;
    std::unordered_map<std::wstring, size_t> m_guids;             // folded, with those added
    std::unordered_map<std::wstring, size_t> m_oldGuids;          // folded, those there before
    std::unordered_multimap<std::wstring, size_t> m_oldContents;  // by ContentKey, made on demand

    std::vector<Detail> m_vecDetail;
    std::vector<Fitting> m_vecFitting;
    // The fittings to add by type, types and fittings in the source's order.
    std::vector<std::pair<int, std::vector<FittingData>>> m_fitsToAdd;
};

}  // namespace

void SetBeforeSave(std::function<void()> fnBeforeSave)
{
    BeforeSave() = std::move(fnBeforeSave);
}

void RunBeforeSave()
{
    if (BeforeSave())
        BeforeSave()();
}

int ImportInto(const TransferArgs& args, const DataDir& target, FileLog& log, Output& out)
{
    return Import(args, target, log, out).Run();
}

int ImportCommand(const TransferArgs& args, Output& out)
{
    std::error_code ec;
    for (const std::string& strDir : {args.strFrom, args.strTo})
        if (!fs::is_directory(fs::u8path(strDir), ec)) {
            out.Err("zknd: " + strDir + ": not a folder\n");
            return 2;
        }
    DataDir target;
    if (!target.AttachOrTell(args.strTo, out))
        return 2;
    FileLog log;
    return ImportInto(args, target, log, out);
}

}  // namespace zknd
