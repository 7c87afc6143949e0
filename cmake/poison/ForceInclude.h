// Compiled before every source of the poison build (preset "poison",
// scripts/check-compiler-header.sh): the two headers that may ask what the
// compiler is, and every system and third-party header the library and zknd
// include, come first; then the compilers' own names are poisoned, so that
// any use of one in our sources, or in a header they include later, stops
// the build. Not installed.
//
// A header the sources start to include belongs in the list below: the
// script fails until it is there.

#include "platform/ZkCompiler.h"
#include "platform/ZkExport.h"

// C++ standard library.
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// The systems' own.
#if defined(_WIN32)
#include <windows.h>
// After windows.h, which they need.
#include <direct.h>
#include <guiddef.h>
#include <objbase.h>
#include <shellapi.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <uuid/uuid.h>
#endif

// The libraries': zknd's only for zknd's sources, which would otherwise
// take the library's sources several times as long to compile.
#include <pugixml.hpp>
#if defined(ZK_POISON_ZKND)
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#endif

// Poisoning a name that is defined as a macro (__GNUC__ and the like) is
// worth a warning, which would fail the -Werror build: the rest of this file
// is a system header, whose warnings GCC keeps to itself. A use of a
// poisoned name is an error wherever it stands, unless it comes from a macro
// defined above.
#pragma GCC system_header

// Builtins and the attribute and declaration syntaxes.
#pragma GCC poison __builtin_ctz __builtin_ctzl __builtin_ctzll __builtin_clz __builtin_clzl
#pragma GCC poison __builtin_clzll __builtin_popcount __builtin_popcountll __builtin_bswap32
#pragma GCC poison __builtin_bswap64 __builtin_prefetch __builtin_expect __builtin_unreachable
#pragma GCC poison __builtin_assume_aligned __attribute__ __declspec __forceinline
// Microsoft's intrinsics for the same.
#pragma GCC poison _BitScanForward _BitScanForward64 _BitScanReverse _BitScanReverse64
#pragma GCC poison _mm_prefetch __prefetch
// Which compiler, and which processor as compilers say it.
#pragma GCC poison __GNUC__ __GNUC_MINOR__ __clang__ _MSC_VER __MINGW32__ __MINGW64__
#pragma GCC poison __SSE__ __SSE2__ __AVX__ __AVX2__ __ARM_NEON _M_X64 _M_IX86 _M_IX86_FP
#pragma GCC poison _M_ARM64 __x86_64__ __i386__ __aarch64__
