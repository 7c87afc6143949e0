#pragma once

// Writes a small fitting library when there is none yet, loads it through
// ZkFitDataManager() and lists its groups and fittings. Returns 0 on success.
int RunFittingLibraryDemo();
