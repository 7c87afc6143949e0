#include "observer/SortPipeFitCountInfo.h"

#include <cmath>

namespace NodeDetailEx {

bool SortPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    const int n = static_cast<int>(vec.size());
    if (n == 0)
        return false;

    // Every pair (i, j) is looked at once, in this order, against what earlier
    // swaps left there: chained positions within the tolerance depend on it.
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const PIPE_FIT_COUNT_INFO& a = vec[i];
            const PIPE_FIT_COUNT_INFO& b = vec[j];
            bool bSwap;
            if (std::fabs(a.ptPos.x - b.ptPos.x) <= 0.0001)
                bSwap = b.ptPos.y > a.ptPos.y;
            else
                bSwap = a.ptPos.x > b.ptPos.x;
            if (bSwap) {
                const PIPE_FIT_COUNT_INFO tmp(vec[i]);
                vec[i] = vec[j];
                vec[j] = tmp;
            }
        }
    }
    return true;
}

}  // namespace NodeDetailEx
