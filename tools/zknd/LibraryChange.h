#pragma once

// What import and fix share as they change a data directory: each step is
// logged, so that an error undoes them all; the error lines and notes are
// gathered for the end; and the libraries are saved through their managers,
// the node details first, so that a fitting library that will not save takes
// the node details back with it.

#include <string>
#include <vector>

#include "DataDir.h"
#include "FileLog.h"
#include "Output.h"
#include "Progress.h"
#include "fitting/CFitDataManager.h"
#include "nodedetail/CNodeDetailResDataManager.h"

namespace zknd {

class LibraryChange {
protected:
    // dir: the data directory the managers serve.
    LibraryChange(const DataDir& dir, FileLog& log, Output& out);
    virtual ~LibraryChange() = default;
    LibraryChange(const LibraryChange&) = delete;
    LibraryChange& operator=(const LibraryChange&) = delete;

    void Error(const std::string& strLine);
    // The error lines so far, then what could not be undone, then
    // strAsItWas unless it is empty; the exit status.
    int Fail(Progress& progress, const std::string& strAsItWas);
    // What the saves took from the files another process had saved.
    void PrintNotes();

    // Saves a library through its manager; each name the save gave in place
    // of ours, because another process had saved the file meanwhile, goes to
    // TakeRename.
    template <typename Manager>
    bool Saved(Manager* pLib)
    {
        // The report is made when first asked for: only once the save is done.
        const bool bSaved = pLib->Save();
        return Told(bSaved, pLib->GetLastReport(), m_dir.Show(pLib->GetFileName()));
    }
    // After the fitting library failed to save: the node-detail library,
    // saved a moment before, goes back to vecBefore, so that the two agree;
    // strStillHolds is the error when even that save fails.
    void TakeBack(const std::vector<NodeDetailResData>& vecBefore,
                  const std::string& strStillHolds);
    virtual void TakeRename(const ZkMergeNote& note) = 0;

    const DataDir& m_dir;
    FileLog& m_log;
    Output& m_out;
    CNodeDetailResDataManager* const m_pNd;
    CFitDataManager* const m_pFit;
    std::vector<std::string> m_vecError;

private:
    bool Told(bool bSaved, const ZkReport& report, const std::string& strShown);

    std::vector<std::string> m_vecNote;
};

}  // namespace zknd
