#pragma once

// export, import and fix, each in its own file; Zknd.cpp parses their
// arguments and runs them. They write into a data directory only through the
// library's managers (the library files) and a FileLog (drawings, slides,
// folders), so that an error in the middle leaves it as it was.

#include <functional>
#include <string>
#include <vector>

#include "DataDir.h"
#include "FileLog.h"
#include "Output.h"

namespace zknd {

struct TransferArgs {
    std::string strFrom;               // the data directory the details come from
    std::string strTo;                 // the one they go to
    std::vector<std::string> vecName;  // the node details; every one when empty
    bool bFittings = false;            // the fitting library too
    bool bJson = false;
};

// zknd export DATADIR NAME... --to DIR [--into] [--fittings] [--json]
int ExportCommand(const TransferArgs& args, bool bInto, Output& out);
// zknd import FROM TO [NAME...] [--fittings] [--json]
int ImportCommand(const TransferArgs& args, Output& out);
// zknd fix DATADIR [--apply] [--json]
int FixCommand(const std::string& strDataDir, bool bApply, bool bJson, Output& out);

// Brings node details (and fittings) from args.strFrom into the data
// directory the managers are bound to, `target`, given as args.strTo. What
// it makes goes into `log`, with what the caller made before; it is all
// undone when the import fails as a whole, and kept otherwise.
int ImportInto(const TransferArgs& args, const DataDir& target, FileLog& log, Output& out);

// For tests: runs once an import or a fix has made its files, just before it
// saves the libraries, as another process saving then would.
void SetBeforeSave(std::function<void()> fnBeforeSave);
void RunBeforeSave();

}  // namespace zknd
