#include "observer/SortPipeFitCountInfo.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace NodeDetailEx {

bool SortPipeFitCountInfo(std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    const size_t n = vec.size();
    if (n == 0)
        return false;

    // Positions alone, where each entry came from beside them.
    std::vector<double> xs(n);
    std::vector<double> ys(n);
    std::vector<size_t> froms(n);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = vec[i].ptPos.x;
        ys[i] = vec[i].ptPos.y;
        froms[i] = i;
    }

    // Every pair (i, j) is looked at once, in this order, against what earlier
    // swaps left there: chained positions within the tolerance depend on it.
    // The occupant of i waits in registers while j runs. The column test has
    // no branch of its own: where columns chain, its outcome is unpredictable.
    for (size_t i = 0; i < n; ++i) {
        double ax = xs[i];
        double ay = ys[i];
        size_t aFrom = froms[i];
        for (size_t j = i + 1; j < n; ++j) {
            const double bx = xs[j];
            const double by = ys[j];
            const bool bColumn = std::fabs(ax - bx) <= 0.0001;
            const bool bSwap = (bColumn & (by > ay)) | (!bColumn & (ax > bx));
            if (bSwap) {
                xs[j] = ax;
                ys[j] = ay;
                ax = bx;
                ay = by;
                std::swap(aFrom, froms[j]);
            }
        }
        xs[i] = ax;
        ys[i] = ay;
        froms[i] = aFrom;
    }

    // Each entry then moves once, cycle by cycle, to where the swaps took it.
    for (size_t nStart = 0; nStart < n; ++nStart) {
        if (froms[nStart] == nStart)
            continue;
        PIPE_FIT_COUNT_INFO held(std::move(vec[nStart]));
        size_t nTo = nStart;
        for (;;) {
            const size_t nFrom = froms[nTo];
            froms[nTo] = nTo;
            if (nFrom == nStart) {
                vec[nTo] = std::move(held);
                break;
            }
            vec[nTo] = std::move(vec[nFrom]);
            nTo = nFrom;
        }
    }
    return true;
}

}  // namespace NodeDetailEx
