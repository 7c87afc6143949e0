#!/usr/bin/env bash
# Holds the sources to one rule: what compilers do differently is asked in
# src/platform/ZkCompiler.h alone (the export macro of src/platform/ZkExport.h
# apart), and which system it is only in the platform layer, zknd's System_
# files and the tests. Checked four ways:
#
# - git grep: no C or C++ source names a compiler's builtin, attribute
#   syntax, intrinsic or macro (the names cmake/poison/ForceInclude.h
#   poisons) outside those headers, nor a system's macro outside those places;
# - cmake/poison/ForceInclude.h includes every system and third-party header
#   the sources include, so that the build below sees the sources' own uses;
# - the poison build (preset "poison", build-poison/): the library and zknd
#   compiled with GCC after that header, which poisons the names: a use the
#   grep missed, through a macro of our own or a header, stops the build;
# - the header's branches for Microsoft's compiler (x64, x86 with and without
#   SSE2, ARM64) and for an unknown compiler, which no build here takes:
#   Clang, told to be neither Clang nor GCC, compiles them with MSVC's
#   predefined macros and its own intrinsic headers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build tool sanitize

force=cmake/poison/ForceInclude.h
compiler=src/platform/ZkCompiler.h
export_header=src/platform/ZkExport.h
sources=('*.h' '*.hpp' '*.cpp' '*.cc' '*.c')
status=0

# The poisoned names, read from the header that poisons them.
read -r -a names <<<"$(sed -n 's/^#pragma GCC poison //p' "$force" | tr '\n' ' ')"
[ ${#names[@]} -gt 10 ] || { echo "compiler header: no names poisoned in $force" >&2; exit 1; }
pattern() {
  local IFS='|'
  printf '(%s)' "$*"
}
others=()
for name in "${names[@]}"; do
  [[ "$name" == __attribute__ || "$name" == __declspec ]] || others+=("$name")
done
# --untracked: a new file counts before it is committed.
if git grep --untracked -nwE "$(pattern "${others[@]}")" -- "${sources[@]}" \
    ":!$compiler" ":!$force"; then
  echo "compiler header: the names above belong in $compiler" >&2
  status=1
fi
if git grep --untracked -nwE '(__attribute__|__declspec)' -- "${sources[@]}" \
    ":!$compiler" ":!$export_header" ":!$force"; then
  echo "compiler header: the attributes above belong in $compiler" >&2
  status=1
fi
if git grep --untracked -nwE '(_WIN32|_WIN64|__linux__|__APPLE__|__unix__)' -- "${sources[@]}" \
    ':!src/platform/' ':!tools/zknd/System_*' ':!tests/' ":!$force"; then
  echo "compiler header: systems are told apart in src/platform/, zknd's System_ files" \
       "and the tests only" >&2
  status=1
fi

# Every header included with <...> by a source (ZkCompiler.h's own apart).
missing=$(git grep --untracked -h '^ *# *include *<' -- "${sources[@]}" ":!$compiler" ':!tests/' \
            ':!bench/' ':!fuzz/' ':!examples/' |
          sed 's/^ *# *include *<\([^>]*\)>.*/\1/' | sort -u |
          while read -r header; do
            grep -qF "#include <$header>" "$force" || echo "$header"
          done)
if [ -n "$missing" ]; then
  echo "compiler header: $force does not include" $missing >&2
  status=1
fi
[ $status -eq 0 ] || exit $status

cmake --preset poison >/dev/null
if ! cmake --build --preset poison; then
  echo "compiler header: the poison build failed; a poisoned name used by a source, or by a" \
       "system header that $force does not include, is named above" >&2
  exit 1
fi

# Microsoft's compiler as Clang plays it: its macros, its intrinsics, and
# not __GNUC__ or __clang__. Clang's intrin.h wants a few C headers, which
# this check does not have for Windows: declarations are enough.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'typedef decltype(sizeof 0) size_t;\nextern "C" void* malloc(size_t);\nextern "C" void free(void*);\n' \
  >"$work/stdlib.h"
printf '#include <stdlib.h>\nextern "C" void* _aligned_malloc(size_t, size_t);\nextern "C" void _aligned_free(void*);\n' \
  >"$work/malloc.h"
printf 'typedef int jmp_buf[16];\n' >"$work/setjmp.h"
cat >"$work/use.cpp" <<'EOF'
#include "platform/ZkCompiler.h"

int Use(unsigned x, unsigned long long y, const void* p)
{
    ZkCompiler::Prefetch(p);
    return ZkCompiler::TrailingZeros32(x) + ZkCompiler::TrailingZeros64(y) + ZKND_HAS_SSE2;
}
EOF
targets=("x86_64-pc-windows-msvc:1" "x86_64-pc-windows-msvc -DZKND_PLAIN_PATHS:0"
         "i686-pc-windows-msvc -march=pentium4:1" "i686-pc-windows-msvc -march=i686:0"
         "aarch64-pc-windows-msvc:0" "x86_64-linux-gnu -U__SSE2__:0")
for entry in "${targets[@]}"; do
  read -r -a target <<<"${entry%:*}"
  flags=(--target="${target[0]}" "${target[@]:1}" -std=c++17 -U__clang__ -U__GNUC__
         -isystem "$work" -Isrc)
  clang++ "${flags[@]}" -fsyntax-only -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion \
          -Werror "$work/use.cpp"
  sse2=$(clang++ "${flags[@]}" -E -dM "$work/use.cpp" | sed -n 's/^#define ZKND_HAS_SSE2 //p')
  if [ "$sse2" != "${entry##*:}" ]; then
    echo "compiler header: ZKND_HAS_SSE2 is $sse2 for ${entry%:*}" >&2
    exit 1
  fi
done
echo "compiler header: passed"
