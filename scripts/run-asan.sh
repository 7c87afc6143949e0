#!/usr/bin/env bash
# Builds the library and its tests with Clang, AddressSanitizer and UBSan in
# their own build folder and runs the whole suite with leak detection on. Any
# sanitizer report aborts the test that hit it, so the stage fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test sanitize
build=${1:-build-asan}
SAN_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DZK_BUILD_EXAMPLES=OFF \
    -DCMAKE_CXX_FLAGS="${SAN_FLAGS}" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$build" -j2
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=report_objects=1
ctest --test-dir "$build" --output-on-failure -j2
