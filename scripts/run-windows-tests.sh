#!/usr/bin/env bash
# Cross-builds ZkNodeDetail.dll, its import library, zknd.exe and the tests
# for 64-bit Windows with MinGW-w64 (preset "windows", build-windows/), and
# runs the tests (the DLL's export check and zknd's cases among them) under
# Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake

bash scripts/deps.sh windows tool

# The libraries of the cross build, made with the same toolchain and
# installed into build-windows/deps/prefix, where the preset looks for them:
# GoogleTest from the source Debian ships in /usr/src/googletest, pugixml from
# Debian's source package. Kept until their versions or the toolchain change.
deps=$build/deps
prefix=$deps/prefix
pugixml_version=$(apt-cache showsrc pugixml | sed -n 's/^Version: //p' | head -n1)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
stamp="pugixml $pugixml_version; googletest $gtest_version; toolchain $(sha256sum "$toolchain" | cut -d' ' -f1)"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
  echo "Windows dependencies are up to date in $prefix"
else
  rm -rf "$deps/src" "$deps/build" "$prefix"
  mkdir -p "$deps/src" "$deps/build"
  install_dep() {
    local src=$1 bld=$2
    shift 2
    cmake -S "$src" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
    cmake --build "$bld" -j2
    cmake --install "$bld"
  }
  install_dep /usr/src/googletest "$deps/build/googletest"
  (cd "$deps/src" && apt-get source pugixml)
  pugixml_src=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'pugixml-*' | head -n1)
  [ -n "$pugixml_src" ] || { echo "apt-get source pugixml gave no source tree" >&2; exit 1; }
  install_dep "$pugixml_src" "$deps/build/pugixml" -DPUGIXML_BUILD_TESTS=OFF
  echo "$stamp" >"$prefix/.stamp"
fi

# CLI11 and nlohmann-json, which zknd uses, are headers only: Debian's serve
# the cross build as they are.
mkdir -p "$prefix/include"
cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"

cmake --preset windows
cmake --build --preset windows

# Wine keeps its state in the build folder and needs no display. One server
# runs for the whole test run, with Wine's own services started here, away
# from the tests' output: a service started by a test would hold that test's
# output pipe open, and CTest would wait for it.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p 120 </dev/null >/dev/null 2>&1 || true
if [ -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot </dev/null >/dev/null 2>&1
else
  wine wineboot -i </dev/null >/dev/null 2>&1
fi

ctest --preset windows
