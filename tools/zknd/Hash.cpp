#include "Hash.h"

#include <cstring>

namespace zknd {

namespace {

const uint64_t kStart = 0x9E3779B97F4A7C15ull;
const uint64_t kStep = 0xFF51AFD7ED558CCDull;
const uint64_t kLast = 0xC4CEB9FE1A85EC53ull;

uint64_t FoldUnit(wchar_t c)
{
    const uint64_t u = static_cast<uint64_t>(c) & 0xFFFF;
    return u - 'A' < 26 ? u + ('a' - 'A') : u;
}

// Eight bytes at once: each of 'A' to 'Z' gains 0x20. A byte of 0x80 or more
// (UTF-8 beyond ASCII) is left as it is; no sum carries into the next byte.
uint64_t FoldBytes(uint64_t x)
{
    const uint64_t kHigh = 0x8080808080808080ull;
    const uint64_t t = x & ~kHigh;
    const uint64_t atLeastA = t + 0x3F3F3F3F3F3F3F3Full;  // 'A' + 0x3F = 0x80
    const uint64_t beyondZ = t + 0x2525252525252525ull;   // 'Z' + 1 + 0x25 = 0x80
    return x | ((atLeastA & ~beyondZ & ~x & kHigh) >> 2);
}

}  // namespace

uint64_t FoldedHash(const CString& text)
{
    const wchar_t* p = text.GetString();
    const size_t n = static_cast<size_t>(text.GetLength());
    uint64_t h = kStart ^ n;
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        h = (h ^ (FoldUnit(p[i]) | FoldUnit(p[i + 1]) << 16 | FoldUnit(p[i + 2]) << 32 |
                  FoldUnit(p[i + 3]) << 48)) *
            kStep;
    uint64_t last = 0;
    for (int nShift = 0; i < n; ++i, nShift += 16)
        last |= FoldUnit(p[i]) << nShift;
    h = (h ^ last) * kLast;
    return h ^ (h >> 31);
}

uint64_t FoldedHash(const char* p, size_t n)
{
    uint64_t h = kStart ^ n;
    size_t i = 0;
    uint64_t x = 0;
    for (; i + 8 <= n; i += 8) {
        std::memcpy(&x, p + i, 8);
        h = (h ^ FoldBytes(x)) * kStep;
    }
    x = 0;
    std::memcpy(&x, p + i, n - i);
    h = (h ^ FoldBytes(x)) * kLast;
    return h ^ (h >> 31);
}

void OrderByHash(HashedPositions& vecPair)
{
    // Top bits enough for a bucket to hold one or two pairs on average.
    int nBits = 1;
    while (nBits < 20 && (size_t{1} << nBits) < vecPair.size())
        ++nBits;
    const int nShift = 64 - nBits;
    std::vector<uint32_t> vecStart((size_t{1} << nBits) + 1, 0);
    for (const auto& pair : vecPair)
        ++vecStart[(pair.first >> nShift) + 1];
    for (size_t b = 1; b < vecStart.size(); ++b)
        vecStart[b] += vecStart[b - 1];
    HashedPositions vecOut(vecPair.size());
    std::vector<uint32_t> vecNext(vecStart.begin(), vecStart.end() - 1);
    for (const auto& pair : vecPair)
        vecOut[vecNext[pair.first >> nShift]++] = pair;
    // Pairs entered a bucket in the order given; the insertion keeps equal
    // hashes in that order.
    for (size_t b = 0; b + 1 < vecStart.size(); ++b)
        for (size_t i = vecStart[b] + 1; i < vecStart[b + 1]; ++i)
            for (size_t j = i; j > vecStart[b] && vecOut[j].first < vecOut[j - 1].first; --j)
                std::swap(vecOut[j], vecOut[j - 1]);
    vecPair.swap(vecOut);
}

}  // namespace zknd
