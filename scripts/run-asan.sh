#!/usr/bin/env bash
# Builds the library and its tests with Clang, AddressSanitizer and UBSan
# (preset "asan", build-asan/) and runs the whole suite with leak detection
# on. Any sanitizer report aborts the test that hit it, so the stage fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test sanitize tool
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
