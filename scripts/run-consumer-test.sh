#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds and runs a separate
# project against it, as a caller's own CMake project would: a plain caller
# and a module that has the platform's own types (tests/consumer/lookalike.cpp);
# checks the installed package and that the code of docs/usage.md is the code
# built here.
# The library comes from build/ (preset "default").
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test tool
build=build
jobs=2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a step quietly, showing its output only when it fails.
step() {
  if ! "$@" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "consumer test: failed: $*" >&2
    exit 1
  fi
}

bash tests/consumer/check-doc-snippets.sh

if [ ! -f "$build/CMakeCache.txt" ]; then
  step cmake --preset default
fi
step cmake --build --preset default --target ZkNodeDetail zknd
step cmake --install "$build" --prefix "$work/prefix"
# zknd is installed with the library and finds it from bin/.
"$work/prefix/bin/zknd" --version | grep -q '^zknd ' ||
  { echo "consumer test: the installed zknd does not run" >&2; exit 1; }

# The library file carries the full version; its SONAME the major one.
versionargs=()
lib=$(find "$work/prefix" -name 'libZkNodeDetail.so.*.*.*' | head -n 1)
if [ -n "$lib" ]; then
  version=${lib##*/libZkNodeDetail.so.}
  versionargs=(-DZK_EXPECTED_VERSION="$version")
  if command -v readelf >/dev/null; then
    soname=$(readelf -d "$lib" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
    if [ "$soname" != "libZkNodeDetail.so.${version%%.*}" ]; then
      echo "consumer test: $lib has SONAME '$soname'" >&2
      exit 1
    fi
  fi
fi

step cmake -S tests/consumer -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" "${versionargs[@]}"
step cmake --build "$work/build" -j"$jobs"
# app, the plain caller, and lookalike, a module with the platform's own
# CString, AcGeScale3d and the rest, on the same installed library.
for program in app lookalike; do
  if command -v ldd >/dev/null; then
    libs=$(ldd "$work/build/$program")
    if [[ "$libs" != *"$work/prefix/"*"/libZkNodeDetail.so"* ]]; then
      echo "consumer test: $program does not load the installed library:" >&2
      echo "$libs" >&2
      exit 1
    fi
  fi
  "$work/build/$program" "$work/$program-data"
done
echo "consumer test: passed"
