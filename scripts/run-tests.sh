#!/usr/bin/env bash
# Builds the library, its tests, zknd and the example and runs the tests:
# with preset "default" (build/), or the preset given (plain: build-plain/).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
bash scripts/deps.sh test tool
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
