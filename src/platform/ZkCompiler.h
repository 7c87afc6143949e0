#pragma once

// What compilers do differently, in one place: whether the SSE2 vector
// extensions may be used, bit scans, prefetching and the fuzzer's coverage
// attribute. Every other source asks here instead of testing a compiler's
// macros or calling its builtins (the one other exception is the export macro
// of ZkExport.h). Inline functions and macros only: nothing is exported, and
// a caller may include it without linking anything.
//
// ZKND_HAS_SSE2 is 1 where SSE2 is part of the target (GCC and Clang say so
// with __SSE2__, Microsoft's compiler with _M_X64, or _M_IX86_FP >= 2 for
// 32-bit x86), else 0. A build that defines ZKND_PLAIN_PATHS gets 0 on any
// target: the plain code that other processors take then runs here too.

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

#if defined(ZKND_PLAIN_PATHS)
#define ZKND_HAS_SSE2 0
#elif defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define ZKND_HAS_SSE2 1
#else
#define ZKND_HAS_SSE2 0
#endif

#if ZKND_HAS_SSE2
#include <emmintrin.h>
#endif

// Keeps a function out of the fuzzer's coverage and comparison tracing: for
// a harness's own reference code, which should not guide the search.
#if defined(__clang__)
#define ZKND_NOT_COVERED __attribute__((no_sanitize("coverage")))
#else
#define ZKND_NOT_COVERED
#endif

namespace ZkCompiler {

// The number of zero bits below the lowest set bit, by a plain loop: what
// any compiler can do. x must not be 0.
inline int TrailingZerosPortable(unsigned long long x)
{
    int n = 0;
    for (; (x & 0xFFFFu) == 0; x >>= 16)
        n += 16;
    for (; (x & 1u) == 0; x >>= 1)
        ++n;
    return n;
}

// The same for 32 and 64 bits with the processor's own instruction where the
// compiler offers it. x must not be 0.
inline int TrailingZeros32(unsigned x)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(x);
#elif defined(_MSC_VER)
    unsigned long index = 0;
    _BitScanForward(&index, x);
    return static_cast<int>(index);
#else
    return TrailingZerosPortable(x);
#endif
}

inline int TrailingZeros64(unsigned long long x)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(x);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_ARM64))
    unsigned long index = 0;
    _BitScanForward64(&index, x);
    return static_cast<int>(index);
#elif defined(_MSC_VER)
    // 32-bit x86 scans a 64-bit word in two halves.
    const unsigned low = static_cast<unsigned>(x);
    return low != 0 ? TrailingZeros32(low) : 32 + TrailingZeros32(static_cast<unsigned>(x >> 32));
#else
    return TrailingZerosPortable(x);
#endif
}

// Asks for the cache line at p to be read ahead of its use; a hint only, and
// nothing where the compiler has no way to say it.
inline void Prefetch(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#elif defined(_MSC_VER) && (defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1))
    _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);  // SSE
#else
    (void)p;
#endif
}

}  // namespace ZkCompiler
