#include "LibraryChange.h"

#include "Check.h"
#include "frame/ZkNodeDetail.h"

namespace zknd {

LibraryChange::LibraryChange(const DataDir& dir, FileLog& log, Output& out)
    : m_dir(dir),
      m_log(log),
      m_out(out),
      m_pNd(ZkNodeDetailResDataManager()),
      m_pFit(ZkFitDataManager())
{
}

void LibraryChange::Error(const std::string& strLine)
{
    m_vecError.push_back("zknd: " + strLine + "\n");
}

int LibraryChange::Fail(Progress& progress, const std::string& strAsItWas)
{
    progress.Done();
    for (const std::string& strLeft : m_log.Undo())
        Error(strLeft);
    for (const std::string& strError : m_vecError)
        m_out.Err(strError);
    if (!strAsItWas.empty())
        m_out.Err("zknd: " + strAsItWas + "\n");
    return 1;
}

void LibraryChange::PrintNotes()
{
    for (const std::string& strNote : m_vecNote)
        m_out.Err(strNote);
}

bool LibraryChange::Told(bool bSaved, const ZkReport& report, const std::string& strShown)
{
    if (!bSaved) {
        AddErrorLines(report, strShown, m_vecError);
        return false;
    }
    AddNoteLines(report, strShown, m_vecNote);
    for (const ZkMergeNote& note : report.vecMerge)
        if (note.eKind == ZkMergeKind::kRenamed)
            TakeRename(note);
    return true;
}

void LibraryChange::TakeBack(const std::vector<NodeDetailResData>& vecBefore,
                             const std::string& strStillHolds)
{
    if (!m_pNd->SetVecNodeDetailResData(vecBefore) || !m_pNd->Save())
        Error(strStillHolds);
}

}  // namespace zknd
