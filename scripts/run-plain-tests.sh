#!/usr/bin/env bash
# Builds the library, its tests and zknd without the SSE2 code (preset
# "plain", build-plain/) and runs the whole suite: the plain code that other
# processors, and compilers that do not say they have SSE2, take instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test tool
cmake --preset plain
cmake --build --preset plain
ctest --preset plain
