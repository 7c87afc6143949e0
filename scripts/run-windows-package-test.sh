#!/usr/bin/env bash
# Makes the packages a Windows developer receives from the MinGW build in
# build-windows/ (which scripts/run-windows-tests.sh builds and tests) and
# uses them as that developer would:
# - the binary ZIP, unzipped into a fresh folder: the consumer project of
#   tests/consumer built against it through find_package with MinGW, and run
#   under Wine with nothing but the ZIP's bin/ and Wine's own folders on the
#   DLL search path, as zknd.exe --version is; a DLL the ZIP lacks fails it;
# - the source packages, unpacked into fresh folders: the whole tree but git's
#   data and the build folders, configurable as it is.
# The packages are left in build-windows/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake
packages=$build/packages

bash scripts/deps.sh windows tool

if [ ! -f "$build/CMakeCache.txt" ] || [ ! -f "$build/deps/prefix/.stamp" ]; then
  echo "package test: no MinGW build in $build; run scripts/run-windows-tests.sh first" >&2
  exit 1
fi
# Wine as in run-windows-tests.sh: its prefix in build-windows/, one server.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
work=$(mktemp -d)
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Runs a step quietly, showing its output only when it fails.
step() {
  if ! "$@" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "package test: failed: $*" >&2
    exit 1
  fi
}
fail() {
  echo "package test: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(ZkNodeDetail VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
name=ZkNodeDetail-$version-win64-mingw

# Up to date already after run-windows-tests.sh; the packages need no more.
step cmake --build --preset windows --target ZkNodeDetail zknd
rm -rf "$packages"
step cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$packages"
step cpack --config "$build/CPackSourceConfig.cmake" -B "$packages"
rm -rf "$packages/_CPack_Packages"
[ -f "$packages/$name.zip" ] || fail "cpack made no $name.zip: $(ls "$packages")"

# The binary ZIP, in a fresh folder.
mkdir "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$packages/$name.zip")
zip=$work/unzipped/$name
for f in bin/ZkNodeDetail.dll bin/zknd.exe lib/ZkNodeDetail.dll.a \
         include/ZkNodeDetail/frame/ZkNodeDetail.h lib/cmake/ZkNodeDetail/ZkNodeDetailConfig.cmake \
         lib/cmake/ZkNodeDetail/ZkNodeDetailConfigVersion.cmake \
         lib/cmake/ZkNodeDetail/ZkNodeDetailTargets.cmake; do
  [ -f "$zip/$f" ] || fail "$name.zip has no $f"
done
# The CMake package finds the library from its own folder, wherever that is.
if grep -rlF "$build" "$zip/lib/cmake"; then
  fail "the ZIP's CMake package names the build folder"
fi

# A caller's project built against the unzipped folder with MinGW.
step cmake -S tests/consumer -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
     -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$zip" -DZK_EXPECTED_VERSION="$version"
step cmake --build "$work/consumer" -j2
grep -q "ZkNodeDetail_DIR:PATH=$zip/" "$work/consumer/CMakeCache.txt" ||
  fail "the consumer did not find the package in the unzipped folder"

wineserver -p 120 </dev/null >/dev/null 2>&1 || true
if [ -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot </dev/null >/dev/null 2>&1
else
  wine wineboot -i </dev/null >/dev/null 2>&1
fi
zipbin=$(winepath -w "$zip/bin" 2>/dev/null)
[ -n "$zipbin" ] || fail "winepath gave no Windows path for $zip/bin"

# Programs start in an empty folder, so that only the search path can
# supply a DLL: Wine looks in the program's folder, the current one, its
# system folders, then WINEPATH.
mkdir "$work/run"
cd "$work/run"
# Without the ZIP's folder the consumer must not start: nothing else on the
# search path holds the library.
if WINEPATH= wine "$work/consumer/app.exe" data </dev/null >"$work/log" 2>&1; then
  fail "the consumer started without the ZIP's bin/ on the DLL search path"
fi
if ! WINEPATH="$zipbin" wine "$work/consumer/app.exe" data </dev/null >"$work/log" 2>&1; then
  cat "$work/log" >&2
  fail "the consumer built against the ZIP failed under Wine"
fi
rm -rf "$work/run/"*
out=$(WINEPATH="$zipbin" wine "$zip/bin/zknd.exe" --version </dev/null 2>&1) ||
  fail "the ZIP's zknd.exe --version failed under Wine: $out"
[[ "$out" == "zknd $version"* ]] || fail "the ZIP's zknd.exe --version said: $out"
cd "$root"

# The source packages: the tree as git has it (tracked and new files, none it
# ignores), nothing of git or of a build, and what the msvc preset needs.
expected=$work/expected.txt
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
  git -C "$root" -c core.quotePath=false ls-files --cached --others --exclude-standard |
    while IFS= read -r f; do [ ! -f "$f" ] || printf '%s\n' "$f"; done | sort >"$expected"
fi
for ext in tar.gz zip; do
  src=ZkNodeDetail-$version-source
  [ -f "$packages/$src.$ext" ] || fail "cpack made no $src.$ext"
  mkdir "$work/$ext"
  (cd "$work/$ext" && cmake -E tar xf "$packages/$src.$ext")
  tree=$work/$ext/$src
  for f in CMakeLists.txt CMakePresets.json src/frame/ZkNodeDetail.cpp cmake/Install.cmake \
           tests/consumer/CMakeLists.txt; do
    [ -f "$tree/$f" ] || fail "$src.$ext has no $f"
  done
  grep -q '"name": "msvc"' "$tree/CMakePresets.json" || fail "$src.$ext has no msvc preset"
  found=$(cd "$tree" && find . -maxdepth 1 \( -name '.git' -o -name 'build*' \) | head -n 1)
  [ -z "$found" ] || fail "$src.$ext holds ${found#./}"
  if [ -f "$expected" ]; then
    (cd "$tree" && find . -type f | sed 's,^\./,,' | sort) >"$work/$ext.txt"
    if ! diff "$expected" "$work/$ext.txt" >"$work/log"; then
      cat "$work/log" >&2
      fail "$src.$ext differs from the tree ('<' missing, '>' extra)"
    fi
  fi
done
# The unpacked tree configures for Windows as it is: every source the lists
# name is there.
step cmake -S "$work/zip/ZkNodeDetail-$version-source" -B "$work/source-build" \
     -DCMAKE_TOOLCHAIN_FILE="$work/zip/ZkNodeDetail-$version-source/cmake/mingw-w64-x86_64.cmake" \
     -DCMAKE_PREFIX_PATH="$build/deps/prefix"

echo "package test: passed ($(cd "$packages" && echo *))"
