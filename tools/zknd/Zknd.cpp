#include "Zknd.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <array>
#include <sstream>
#include <system_error>

#include "Check.h"
#include "Commands.h"
#include "DataDir.h"
#include "Display.h"
#include "ProblemJson.h"
#include "Progress.h"
#include "ResourceFiles.h"
#include "frame/ZkNodeDetail.h"

namespace zknd {

namespace {

const char kFooter[] = R"(
check reports one problem per line, as editors and CI logs link them:
  PATH:LINE:COLUMN: error|warning: message
with line and column where they are known (the record's line for problems of
a record). Errors make the product read, find or copy the wrong thing, or
nothing: a library file that does not load; node details with the same name
(letter case ignored) or the same GUID text; a missing drawing (.dwg) or slide
(.sld) file; a GUID text that cannot name a file; fitting groups that share a
type; fittings of one group with the same name. Warnings: a value the library
could not read as its type, a character it replaced, a GUID text not in the
canonical form, a drawing or slide file that no node detail names.

export and import copy node details with their drawing and slide files (and,
with --fittings, fittings) into another data directory, as the library would
add them: a name already used gets the next free name, NAME(n); a GUID text
already used a new GUID; a detail already there is skipped. fix shows the
repairs it can make of what check finds, and makes them with --apply: it
keeps each library file it rewrites as FILE.<time>.bak beside it, and moves
drawings and slides no record names to unreferenced/.

Exit status: 0 done (check, fix: nothing left to repair); 1 check or fix found
problems, or a command could not do all that was asked (the reason is on
standard error); 2 wrong arguments, or a data directory that is not a folder.
A progress line appears on standard error when the work takes more than a
second and standard error is a terminal. docs/zknd.md has more.)";

int Fail(Output& out, const std::string& strWhy)
{
    out.Err("zknd: " + strWhy + "\n");
    return 1;
}

int CheckCommand(const DataDir& dir, bool bJson, Output& out)
{
    Findings findings;
    {
        Progress progress(out);
        findings = Check(dir, progress);
    }
    size_t nErrors = 0;
    for (const Problem& problem : findings.vecProblem)
        nErrors += problem.bError ? 1 : 0;
    const size_t nWarnings = findings.vecProblem.size() - nErrors;
    if (bJson) {
        nlohmann::ordered_json problems = nlohmann::ordered_json::array();
        for (const Problem& problem : findings.vecProblem)
            problems.push_back(ProblemJson(problem));
        const nlohmann::ordered_json result = {{"dataDirectory", dir.Given()},
                                               {"counts",
                                                {{"nodeDetails", findings.nNodeDetails},
                                                 {"fittingGroups", findings.nFittingGroups},
                                                 {"fittings", findings.nFittings},
                                                 {"errors", nErrors},
                                                 {"warnings", nWarnings}}},
                                               {"problems", std::move(problems)}};
        out.Out(result.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                "\n");
    } else {
        std::string text;
        for (const Problem& problem : findings.vecProblem)
            text += FormatProblem(problem);
        out.Out(text);
        if (!findings.vecProblem.empty())
            out.Err("zknd: " + std::to_string(nErrors) + " error(s), " + std::to_string(nWarnings) +
                    " warning(s) in " + dir.Given() + "\n");
    }
    return findings.vecProblem.empty() ? 0 : 1;
}

// Columns padded to the widest cell, two spaces apart.
std::string Table(const std::vector<std::vector<std::string>>& vecRow)
{
    std::vector<size_t> vecWidth;
    for (const auto& row : vecRow)
        for (size_t c = 0; c < row.size(); ++c) {
            vecWidth.resize(std::max(vecWidth.size(), row.size()));
            vecWidth[c] = std::max(vecWidth[c], DisplayWidth(row[c]));
        }
    std::string text;
    for (const auto& row : vecRow) {
        for (size_t c = 0; c < row.size(); ++c) {
            text += row[c];
            if (c + 1 < row.size())
                text.append(vecWidth[c] - DisplayWidth(row[c]) + 2, ' ');
        }
        text.erase(text.find_last_not_of(' ') + 1);
        text += "\n";
    }
    return text;
}

// Loads one library, or tells why it could not on standard error.
template <typename Manager>
bool Load(const DataDir& dir, Manager* pLib, const char* pszFile, Progress& progress, Output& out)
{
    progress.Step(std::string("reading ") + pszFile);
    if (pLib->Load())
        return true;
    progress.Done();
    std::vector<Problem> vecProblem;
    AddReport(pLib->GetLastReport(), dir.Show(pLib->GetFileName()), vecProblem);
    for (const Problem& problem : vecProblem)
        out.Err(FormatProblem(problem));
    return false;
}

int ListCommand(const DataDir& dir, const std::string& strWhat, Output& out)
{
    Progress progress(out);
    std::vector<std::vector<std::string>> vecRow;
    if (strWhat == "fitting") {
        CFitDataManager* pLib = ZkFitDataManager();
        if (!Load(dir, pLib, "FitDataEx.xml", progress, out))
            return 1;
        std::vector<FittingInfo> vecGroup;
        pLib->GetVecFitInfo(vecGroup);
        vecRow.push_back({"Type", "Name", "Block", "GUID", "Scale", "Connectors", "Description"});
        for (FittingInfo& group : vecGroup) {
            const std::string strType = std::to_string(static_cast<int>(group.GetFitType()));
            if (group.GetVecFitData().empty())
                vecRow.push_back({strType, "(no fittings)"});
            for (const FittingData& fit : group.GetVecFitData()) {
                std::ostringstream scale;
                scale << fit.GetScale();
                vecRow.push_back({strType, OneLine(Utf8(fit.GetDisplayName())),
                                  OneLine(Utf8(fit.GetBlockName())), OneLine(Utf8(fit.GUID())),
                                  scale.str(), std::to_string(fit.GetConNum()),
                                  OneLine(Utf8(fit.GetDescription()))});
            }
        }
    } else {
        CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
        if (!Load(dir, pLib, "NodeDetailDataEx.xml", progress, out))
            return 1;
        progress.Step("sorting");
        pLib->SortData();
        std::vector<NodeDetailResData> vecData;
        pLib->GetVecNodeDetailResData(vecData);
        std::vector<CString> vecGuid;
        for (const NodeDetailResData& data : vecData)
            vecGuid.push_back(data.GetGuid());
        progress.Step("looking through the resource folder");
        ResourceFiles::Lookups lookups;
        for (const CString& strGuid : vecGuid)
            lookups.Add(strGuid);
        const std::vector<std::array<int, 2>> vecFound =
            ResourceFiles::List(DataDir::Native(DataDir::ResourceFolder())).FindAll(lookups);
        vecRow.push_back({"GUID", "Name", "Description", "Files"});
        for (size_t i = 0; i < vecData.size(); ++i) {
            const NodeDetailResData& data = vecData[i];
            const bool bDwg = vecFound[i][0] == 1;
            const bool bSld = vecFound[i][1] == 1;
            vecRow.push_back({OneLine(Utf8(vecGuid[i])), OneLine(Utf8(data.GetDisplayName())),
                              OneLine(Utf8(data.GetDescription())),
                              bDwg && bSld ? "both"
                              : bDwg       ? "no .sld"
                              : bSld       ? "no .dwg"
                                           : "neither"});
        }
    }
    progress.Step("laying out " + std::to_string(vecRow.size() - 1) + " rows");
    const std::string strTable = Table(vecRow);
    progress.Done();
    out.Out(strTable);
    return 0;
}

int CopyCommand(const DataDir& dir, const std::string& strName, Output& out)
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    Progress progress(out);
    if (!Load(dir, pLib, "NodeDetailDataEx.xml", progress, out))
        return 1;
    progress.Step("copying and saving");
    const CString strSource = FromUtf8(strName);
    NodeDetailResData source;
    const int nIndex = pLib->FindDataByDisplayName(strSource, source);
    if (nIndex < 0) {
        progress.Done();
        return Fail(out, "no node detail is named \"" + strName + "\"");
    }

    const bool bCopied = pLib->CopyNode(strSource) == 1;
    std::vector<Problem> vecProblem;
    if (!bCopied) {
        for (const ZkWarning& warning : pLib->GetLastReport().vecWarning) {
            // A file not copied, or the library's record whose GUID text was refused.
            Problem problem;
            problem.strPath =
                dir.Show(warning.eKind == ZkWarningKind::kCopyFailed ? warning.strText
                                                                     : pLib->GetFileName());
            problem.strMessage = Utf8(warning.strMessage);
            vecProblem.push_back(problem);
        }
        if (vecProblem.empty())
            AddReport(pLib->GetLastReport(), dir.Show(pLib->GetLastReport().strPath), vecProblem);
    } else if (!pLib->Save()) {
        AddReport(pLib->GetLastReport(), dir.Show(pLib->GetFileName()), vecProblem);
    }
    std::vector<NodeDetailResData> vecData;
    pLib->GetVecNodeDetailResData(vecData);
    const NodeDetailResData& copy = vecData[static_cast<size_t>(nIndex)];
    progress.Done();
    // Another process saved the library meanwhile: what the save took from
    // the file, and the name the copy was saved under when another process
    // had taken its name.
    CString strSavedName = copy.GetDisplayName();
    if (vecProblem.empty()) {
        for (const ZkMergeNote& note : pLib->GetLastReport().vecMerge) {
            out.Err(dir.Show(pLib->GetFileName()) + ": note: " + Utf8(note.strMessage) + "\n");
            if (note.eKind == ZkMergeKind::kRenamed && note.strGuid == copy.GetGuid())
                strSavedName = note.strName;
        }
    }
    if (!vecProblem.empty()) {
        // Unsaved, the copy would leave files that no node detail names.
        for (const wchar_t* pszExtension : {L".dwg", L".sld"}) {
            std::error_code ec;
            std::filesystem::remove(
                DataDir::Native(DataDir::ResourceFolder() + copy.GetGuid() + pszExtension), ec);
        }
        for (const Problem& problem : vecProblem)
            out.Err(FormatProblem(problem));
        return Fail(out, "\"" + strName + "\" was not copied; the library is unchanged");
    }
    out.Out(Utf8(strSavedName) + "\t" + Utf8(copy.GetGuid()) + "\n");
    return 0;
}

// The arguments of every command, and which command was given.
struct Arguments {
    std::string strDataDir;
    bool bJson = false;
    std::string strWhat = "nodedetail";
    std::string strName;
    TransferArgs transfer;
    bool bInto = false;
    bool bApply = false;
    CLI::App* pCheck = nullptr;
    CLI::App* pList = nullptr;
    CLI::App* pCopy = nullptr;
    CLI::App* pExport = nullptr;
    CLI::App* pImport = nullptr;
    CLI::App* pFix = nullptr;
};

void AddCommands(CLI::App& app, Arguments& a)
{
    const char kDataDirHelp[] = "the product's data directory (it holds Data/NodeDetail/...)";
    a.pCheck = app.add_subcommand(
        "check", "load both libraries, check the resource folder, report each problem");
    a.pCheck->add_option("DATADIR", a.strDataDir, kDataDirHelp)->required();
    a.pCheck->add_flag("--json", a.bJson, "the same as a JSON object");
    a.pList =
        app.add_subcommand("list", "node details in natural name order, or fittings by group");
    a.pList->add_option("DATADIR", a.strDataDir, kDataDirHelp)->required();
    a.pList->add_option("WHAT", a.strWhat, "nodedetail (the default) or fitting")
        ->check(CLI::IsMember({"nodedetail", "fitting"}));
    a.pCopy = app.add_subcommand(
        "copy", "copy a node detail and its files under a free name \"NAME(n)\", then save");
    a.pCopy->add_option("DATADIR", a.strDataDir, kDataDirHelp)->required();
    a.pCopy->add_option("NAME", a.strName, "the node detail's name (letter case ignored)")
        ->required();
    a.pExport = app.add_subcommand(
        "export", "a new data directory holding the node details named, with their files");
    a.pExport->add_option("DATADIR", a.transfer.strFrom, kDataDirHelp)->required();
    a.pExport->add_option("NAME", a.transfer.vecName, "node details' names (letter case ignored)")
        ->required();
    a.pExport->add_option("--to", a.transfer.strTo, "the new data directory")->required();
    a.pExport->add_flag("--into", a.bInto, "DIR holds a library already: import into it");
    a.pExport->add_flag("--fittings", a.transfer.bFittings, "the fitting library too");
    a.pExport->add_flag("--json", a.transfer.bJson, "the outcome as a JSON object");
    a.pImport = app.add_subcommand(
        "import", "bring node details with their files (all, or those named) into TO");
    a.pImport->add_option("FROM", a.transfer.strFrom, "the data directory they come from")
        ->required();
    a.pImport->add_option("TO", a.transfer.strTo, "the data directory they go to")->required();
    a.pImport->add_option("NAME", a.transfer.vecName, "node details' names (letter case ignored)");
    a.pImport->add_flag("--fittings", a.transfer.bFittings, "the fittings too, by group");
    a.pImport->add_flag("--json", a.transfer.bJson, "the outcome as a JSON object");
    a.pFix = app.add_subcommand("fix", "show the repairs of what check finds; --apply makes them");
    a.pFix->add_option("DATADIR", a.strDataDir, kDataDirHelp)->required();
    a.pFix->add_flag("--apply", a.bApply, "make the repairs");
    a.pFix->add_flag("--json", a.bJson, "the same as a JSON object");
}

}  // namespace

int Run(const std::vector<std::string>& vecArg, Output& out)
{
    CLI::App app("zknd " ZKND_VERSION
                 ": checks, lists, copies, exports, imports and fixes the "
                 "node details and fittings of a data directory",
                 "zknd");
    app.set_version_flag("--version", "zknd " ZKND_VERSION);
    app.require_subcommand(1);
    app.footer(kFooter);
    Arguments a;
    AddCommands(app, a);

    std::vector<const char*> argv = {"zknd"};
    for (const std::string& arg : vecArg)
        argv.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        std::ostringstream text;
        std::ostringstream error;
        const int nStatus = app.exit(e, text, error);
        out.Out(text.str());
        out.Err(error.str());
        return nStatus == 0 ? 0 : 2;
    }

    if (a.pExport->parsed())
        return ExportCommand(a.transfer, a.bInto, out);
    if (a.pImport->parsed())
        return ImportCommand(a.transfer, out);
    if (a.pFix->parsed())
        return FixCommand(a.strDataDir, a.bApply, a.bJson, out);
    DataDir dir;
    if (!dir.AttachOrTell(a.strDataDir, out))
        return 2;
    if (a.pCheck->parsed())
        return CheckCommand(dir, a.bJson, out);
    if (a.pList->parsed())
        return ListCommand(dir, a.strWhat, out);
    return CopyCommand(dir, a.strName, out);
}

}  // namespace zknd
