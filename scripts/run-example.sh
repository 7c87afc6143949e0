#!/usr/bin/env bash
# Builds the library and the example program (preset "example", build/) and
# runs the example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake --preset example
cmake --build --preset example
./build/examples/zk_example
