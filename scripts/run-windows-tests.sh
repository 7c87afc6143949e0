#!/usr/bin/env bash
# Cross-builds ZkNodeDetail.dll, its import library and the tests for 64-bit
# Windows with MinGW-w64, and runs the tests (the DLL's export check among
# them) under Wine. Everything lands in build-windows/ (or ZK_WINDOWS_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ZK_WINDOWS_BUILD_DIR:-$root/build-windows}
jobs=${ZK_JOBS:-2}

bash scripts/deps.sh windows
bash scripts/build-windows-deps.sh "$build/deps"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_PREFIX_PATH="$build/deps/prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$jobs"

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

ctest --test-dir "$build" --output-on-failure -j"$jobs"
