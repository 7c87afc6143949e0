#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need (Debian); Clang
# with its sanitizer and libFuzzer runtimes for the sanitizer and fuzzing stages.
set -euo pipefail
packages=(build-essential cmake pkg-config libpugixml-dev uuid-dev libgtest-dev googletest
          libbenchmark-dev clang-format clang libclang-rt-14-dev llvm "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  $SUDO DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi
