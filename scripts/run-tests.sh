#!/usr/bin/env bash
# Builds the library, its tests, zknd and the example (preset "default",
# build/) and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test tool
cmake --preset default
cmake --build --preset default
ctest --preset default
