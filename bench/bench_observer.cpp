// SortPipeFitCountInfo on 1,000 and 10,000 fitting-count entries, against the
// same exchange procedure written plainly on (x, y, index) values followed by
// one permutation of the entries.
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "observer/SortPipeFitCountInfo.h"

namespace {

// Entries of a drawing's fitting table: columns a few metres apart, some
// entries of a column drifting by less than the tolerance each, so that
// columns chain; a few entries at the same place.
std::vector<PIPE_FIT_COUNT_INFO> MakeEntries(size_t nCount)
{
    zkbench::TextMaker maker(static_cast<uint32_t>(nCount));
    const int nColumns = static_cast<int>(std::sqrt(static_cast<double>(nCount))) + 1;
    std::vector<PIPE_FIT_COUNT_INFO> entries(nCount);
    for (size_t i = 0; i < nCount; ++i) {
        PIPE_FIT_COUNT_INFO& e = entries[i];
        if (i > 0 && maker.Number(0, 49) == 0) {
            e.ptPos = entries[i - 1].ptPos;
        } else {
            const int nColumn = maker.Number(0, nColumns - 1);
            const double dDrift = maker.Number(0, 3) * (0.00005 + maker.Number(0, 3) * 0.00001);
            e.ptPos = stu3Value(nColumn * 3500.0 + dDrift, maker.Coordinate(), 0.0);
        }
        const int nType = maker.Number(1, 50);
        const int nSize = maker.Number(0, 15);
        e.strText1 = maker.FittingName(nType, nSize).c_str();
        e.strText2 = maker.BlockName(nType, nSize).c_str();
        e.strText3 = L"20#";
        e.strText4 = maker.FittingDescription(nType, nSize).c_str();
        e.nValue1 = maker.Number(1, 40);
    }
    return entries;
}

// The procedure on plain values, then each entry moved to its place.
void PlainOrder(std::vector<PIPE_FIT_COUNT_INFO>& vec)
{
    struct Value {
        double x;
        double y;
        size_t index;
    };
    const size_t n = vec.size();
    std::vector<Value> values(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = Value{vec[i].ptPos.x, vec[i].ptPos.y, i};
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            const Value& a = values[i];
            const Value& b = values[j];
            if (std::fabs(a.x - b.x) <= 0.0001 ? b.y > a.y : a.x > b.x)
                std::swap(values[i], values[j]);
        }
    }
    std::vector<PIPE_FIT_COUNT_INFO> ordered;
    ordered.reserve(n);
    for (const Value& v : values)
        ordered.push_back(std::move(vec[v.index]));
    vec.swap(ordered);
}

const std::vector<PIPE_FIT_COUNT_INFO>& Entries(size_t nCount)
{
    static std::map<size_t, std::vector<PIPE_FIT_COUNT_INFO>> cache;
    auto it = cache.find(nCount);
    if (it == cache.end()) {
        it = cache.emplace(nCount, MakeEntries(nCount)).first;
        std::vector<PIPE_FIT_COUNT_INFO> a = it->second;
        std::vector<PIPE_FIT_COUNT_INFO> b = it->second;
        NodeDetailEx::SortPipeFitCountInfo(a);
        PlainOrder(b);
        bool bSame = true;
        for (size_t i = 0; i < nCount; ++i)
            bSame = bSame && a[i].ptPos.x == b[i].ptPos.x && a[i].ptPos.y == b[i].ptPos.y &&
                    a[i].strText1 == b[i].strText1 && a[i].strText4 == b[i].strText4;
        zkbench::CheckSame(bSame, "the order of the fitting-count entries");
    }
    return it->second;
}

void Register(size_t nCount)
{
    auto run = [nCount](benchmark::State& state, void (*order)(std::vector<PIPE_FIT_COUNT_INFO>&)) {
        const std::vector<PIPE_FIT_COUNT_INFO>& entries = Entries(nCount);
        std::vector<PIPE_FIT_COUNT_INFO> work;
        zkbench::TimeEach(
            state, [&] { work = entries; }, [&] { order(work); });
    };
    zkbench::RegisterPair(
        "SortPipeFitCountInfo", std::to_string(nCount), "plain (x,y,index) exchange + permutation",
        [run](benchmark::State& s) {
            run(s,
                [](std::vector<PIPE_FIT_COUNT_INFO>& v) { NodeDetailEx::SortPipeFitCountInfo(v); });
        },
        [run](benchmark::State& s) { run(s, PlainOrder); }, benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv)
{
    return zkbench::Main(argc, argv, [](bool) {
        Register(1000);
        Register(10000);
    });
}
