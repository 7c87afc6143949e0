#pragma once

// What `zknd check` finds in a data directory, and the pieces `list` and
// `copy` share with it.
//
// Errors are what makes the product read, find or copy the wrong thing, or
// nothing: a library file that does not load, two node details the library
// cannot tell apart by name or GUID text, a drawing or slide file that is
// missing, a GUID text that cannot name a file, fitting groups that share a
// type (lookups by type see only the first), fittings of one group with the
// same name. Warnings are what works today but loses or wastes something or
// breaks a convention: values the library could not read as their type,
// characters it had to replace, GUID texts not in the canonical form, drawing
// and slide files that no node detail names.

#include <string>
#include <vector>

#include "DataDir.h"
#include "Progress.h"
#include "platform/ZkReport.h"

namespace zknd {

struct Problem {
    std::string strPath;  // as shown: the data directory as given, then the file
    int nLine = 0;        // 1-based; 0 when not known
    int nColumn = 0;
    bool bError = true;
    std::string strCode;  // e.g. "duplicate-name"
    std::string strMessage;
    std::string strGuid;  // of the record concerned, when there is one
    std::string strName;
    bool bRecord = false;  // strGuid and strName are a record's
    // Where in its library the problem is: a node detail's or fitting group's
    // position, and a fitting's in its group; -1 where none.
    long nItem = -1;
    long nSub = -1;
};

struct Findings {
    std::vector<Problem> vecProblem;
    int nNodeDetails = 0;
    int nFittingGroups = 0;
    int nFittings = 0;
};

Findings Check(const DataDir& dir, Progress& progress);

// The outcome of a report that failed, as an error, and its warnings, about
// the file shown as strPath.
void AddReport(const ZkReport& report, const std::string& strPath,
               std::vector<Problem>& vecProblem);
// "PATH:LINE:COLUMN: error: message" and a line end; line and column only
// where they are known.
std::string FormatProblem(const Problem& problem);

// A report as lines for standard error: the problems of a failure (as
// FormatProblem), and what a save took from the file another process had
// saved meanwhile ("PATH: note: message").
void AddErrorLines(const ZkReport& report, const std::string& strPath,
                   std::vector<std::string>& vecError);
void AddNoteLines(const ZkReport& report, const std::string& strPath,
                  std::vector<std::string>& vecNote);

}  // namespace zknd
