#pragma once

#include <vector>

#include "observer/PipeFitCountInfo.h"
#include "platform/ZkExport.h"

namespace NodeDetailEx {

// Orders entries by position: columns left to right (smaller x first); within
// a column, x values within 0.0001 of each other, top to bottom (larger y
// first). Being in one column is not transitive, so the order is the one a
// fixed pairwise exchange gives, not a comparator sort. False, and the list
// untouched, when it is empty.
ZKND_API bool SortPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& vec);

}  // namespace NodeDetailEx
