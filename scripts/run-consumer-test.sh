#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds and runs a separate
# project against it, as a caller's own CMake project would.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S tests/consumer -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" -j"$(nproc)" >/dev/null
(cd "$work" && ./build/consumer)
echo "consumer test: passed"
