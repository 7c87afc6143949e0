// zknd export: a new, complete data directory holding the node details
// named, with their drawing and slide files, and a fitting library (empty,
// or the source's). Into a data directory that holds a library already it
// imports, when told to.

#include "Commands.h"
#include "Library.h"

namespace zknd {

namespace fs = std::filesystem;

int ExportCommand(const TransferArgs& args, bool bInto, Output& out)
{
    std::error_code ec;
    if (!fs::is_directory(fs::u8path(args.strFrom), ec)) {
        out.Err("zknd: " + args.strFrom + ": not a folder\n");
        return 2;
    }
    const fs::path to = fs::u8path(args.strTo);
    const fs::file_status status = fs::status(to, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        out.Err("zknd: " + args.strTo + ": not a folder\n");
        return 2;
    }
    // Folders made here go again if the export fails.
    FileLog log;
    if (!log.MakeFolders(to, ec)) {
        out.Err("zknd: " + args.strTo + ": cannot be made: " + ec.message() + "\n");
        return 1;
    }
    DataDir target;
    if (!target.AttachOrTell(args.strTo, out))
        return 2;
    const LibraryPlaces places = LibraryPlaces::Of(target, args.strTo);
    for (const fs::path& file : {places.nodeDetails, places.fittings})
        if (!bInto && fs::exists(fs::symlink_status(file, ec))) {
            out.Err("zknd: " + args.strTo + " holds a library already (" + places.Show(file) +
                    "): --into imports into it\n");
            return 1;
        }
    return ImportInto(args, target, log, out);
}

}  // namespace zknd
