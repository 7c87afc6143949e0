#pragma once

// How the last CopyNode that found its source fared with each of its two
// files, kept until the next such call, for callers that want to tell why it
// returned 0.

#include "platform/internal/FileSystem.h"

struct CopyFileOutcome {
    bool bCopied = false;
    // The source's GUID text cannot name a file in the resource folder
    // (separators, "..", a drive or device name, a forbidden character), so
    // no path was made of it.
    bool bGuidRefused = false;
    ZkFileSystem::FileError error;
};

struct CopyNodeOutcome {
    CopyFileOutcome drawing;
    CopyFileOutcome slide;
};

const CopyNodeOutcome& LastCopyNodeOutcome();
