#pragma once

// Texts compared as the library compares names, through hashes put in order:
// hundreds of thousands of texts looked up in tables of megabytes would
// spend their time waiting for memory, where walking them in hash order reads
// it in order.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/CString.h"

namespace zknd {

// Hashes of a text with ASCII letters folded to lower case, as
// CString::CompareNoCase folds them: of its UTF-16 units, and of UTF-8 bytes.
// Their top bits are the best mixed.
uint64_t FoldedHash(const CString& text);
uint64_t FoldedHash(const char* p, size_t n);

// Hashes with the positions they belong to.
using HashedPositions = std::vector<std::pair<uint64_t, uint32_t>>;

// Puts the pairs in order of hash; pairs of equal hash keep the order they
// were given in. Counted into buckets by the hash's top bits, then the few in
// each bucket ordered in place.
void OrderByHash(HashedPositions& vecPair);

// For each position, the first position before it whose text is the same
// ignoring the letter case of ASCII letters, or -1. vecHash holds FoldedHash
// of each text; same(i, j) tells whether the texts at i and j are the same,
// and is asked only of texts of equal hash.
template <typename Same>
std::vector<long> FirstEqualNoCase(const std::vector<uint64_t>& vecHash, Same same)
{
    HashedPositions vecOrder(vecHash.size());
    for (size_t i = 0; i < vecHash.size(); ++i)
        vecOrder[i] = {vecHash[i], static_cast<uint32_t>(i)};
    OrderByHash(vecOrder);
    std::vector<long> vecFirst(vecHash.size(), -1);
    for (size_t run = 0; run < vecOrder.size();) {
        size_t end = run + 1;
        while (end < vecOrder.size() && vecOrder[end].first == vecOrder[run].first)
            ++end;
        // Within a run the positions ascend: each text is met first at its
        // first position.
        for (size_t k = run + 1; k < end; ++k)
            for (size_t d = run; d < k; ++d)
                if (vecFirst[vecOrder[d].second] < 0 &&
                    same(vecOrder[d].second, vecOrder[k].second)) {
                    vecFirst[vecOrder[k].second] = static_cast<long>(vecOrder[d].second);
                    break;
                }
        run = end;
    }
    return vecFirst;
}

}  // namespace zknd
