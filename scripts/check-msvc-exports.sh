#!/usr/bin/env bash
# Holds the export table that Microsoft's ABI gives the DLL to the rule of
# cmake/CheckExports.cmake, through the dumpbin reader an MSVC build's
# ExportedSymbols test uses. No MSVC runs here: Clang compiles the library's
# Windows sources of build-windows/ (scripts/run-windows-tests.sh) for the
# x86_64-pc-windows-msvc target, with MinGW's headers for the C and C++
# libraries; each object names what it exports in /EXPORT directives, and a
# stand-in for dumpbin lists their union as dumpbin /exports would.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
objects=$build/CMakeFiles/zk_objects.dir

bash scripts/deps.sh windows sanitize

[ -f "$objects/flags.make" ] ||
  { echo "msvc exports: no MinGW build in $build; run scripts/run-windows-tests.sh first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

triple=x86_64-w64-mingw32
gccdir=/usr/lib/gcc/$triple/$($triple-g++-posix -dumpversion)  # .../12-posix
cxx=(clang++ --target=x86_64-pc-windows-msvc -std=c++17 -O0 -Wall -Wextra -Wpedantic -Werror
     # MinGW's headers take the GNU dialect and __declspec as a macro for theirs.
     -fgnuc-version="$(basename "${gccdir%-*}")" "-D__declspec(x)=__declspec(x)" -Wno-\#warnings
     -nostdinc++ -isystem "$gccdir/include/c++" -isystem "$gccdir/include/c++/$triple"
     -isystem "/usr/$triple/include")
# The defines and include folders of the MinGW build.
read -r -a defines <<<"$(sed -n 's/^CXX_DEFINES = //p' "$objects/flags.make")"
eval "includes=($(cat "$objects/includes_CXX.rsp"))"

mapfile -t sources < <(cd "$objects" && find . -name '*.cpp.obj' | sed 's,^\./,,; s,\.obj$,,' | sort)
[ ${#sources[@]} -gt 0 ] || { echo "msvc exports: no objects in $objects" >&2; exit 1; }
for source in "${sources[@]}"; do
  obj=$work/$(printf '%s' "$source" | tr / _).obj
  "${cxx[@]}" "${defines[@]}" "${includes[@]}" -c "$root/$source" -o "$obj"
  llvm-readobj --coff-directives "$obj" | grep -o '/EXPORT:"[^"]*"' |
    sed 's,^/EXPORT:",,; s,"$,,' >>"$work/exports" || true
done
sort -u "$work/exports" >"$work/exports.sorted"

# dumpbin /exports as it writes the table: "ordinal hint RVA name", CR LF.
{
  printf 'Dump of file ZkNodeDetail.dll\r\n\r\nFile Type: DLL\r\n\r\n'
  printf '  Section contains the following exports for ZkNodeDetail.dll\r\n\r\n'
  printf '    ordinal hint RVA      name\r\n\r\n'
  n=0
  while IFS= read -r name; do
    n=$((n + 1))
    printf '      %5d %4X %08X %s\r\n' "$n" $((n - 1)) $((0x1000 + 16 * n)) "$name"
  done <"$work/exports.sorted"
  printf '\r\n  Summary\r\n\r\n        1000 .data\r\n'
} >"$work/dumpbin.txt"
printf '#!/bin/sh\ncat "%s"\n' "$work/dumpbin.txt" >"$work/dumpbin"
chmod +x "$work/dumpbin"

cmake -DDUMPBIN="$work/dumpbin" -DLIBRARY=ZkNodeDetail.dll -DSOURCE_DIR="$root" \
      -P cmake/CheckExports.cmake
echo "msvc exports: passed"
