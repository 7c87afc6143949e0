#pragma once

// The counter of a copy's name "%s(%d)": the first n from 1 up for which no
// name of the list equals base + "(" + n + ")", letter case of ASCII letters
// ignored, as a loop that formats each candidate and looks it up would find.
// One pass over the list, whatever the number of earlier copies.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/CString.h"
#include "platform/internal/text/Unicode.h"

// nameAt(i) gives the i-th name of the list (a const CString&) for i below nCount.
template <typename NameAt>
int FirstFreeCopyNumber(const CString& strBase, size_t nCount, NameAt nameAt)
{
    // %s stops at a null unit.
    const wchar_t* pBase = strBase.GetString();
    size_t nBase = 0;
    while (pBase[nBase] != 0)
        ++nBase;

    // Each name takes at most one counter, so one of 1 .. nCount + 1 is free,
    // and %d writes those without sign or leading zeros.
    const uint64_t nLimit = static_cast<uint64_t>(nCount) + 1;
    size_t nMaxDigits = 1;
    for (uint64_t v = nLimit; v >= 10; v /= 10)
        ++nMaxDigits;
    std::vector<bool> taken(static_cast<size_t>(nLimit) + 1, false);

    for (size_t i = 0; i < nCount; ++i) {
        const CString& strName = nameAt(i);
        const wchar_t* p = strName.GetString();
        const size_t n = static_cast<size_t>(strName.GetLength());
        if (n < nBase + 3 || n > nBase + 2 + nMaxDigits || p[nBase] != L'(' || p[n - 1] != L')' ||
            p[nBase + 1] == L'0')
            continue;
        uint64_t nValue = 0;
        size_t k = nBase + 1;
        for (; k < n - 1 && p[k] >= L'0' && p[k] <= L'9'; ++k)
            nValue = nValue * 10 + static_cast<uint64_t>(p[k] - L'0');
        if (k != n - 1 || nValue > nLimit || taken[static_cast<size_t>(nValue)])
            continue;
        if (ZkText::CompareOrdinalNoCase(p, nBase, pBase, nBase) == 0)
            taken[static_cast<size_t>(nValue)] = true;
    }

    size_t nFree = 1;
    while (taken[nFree])
        ++nFree;
    return static_cast<int>(nFree);
}
