#!/usr/bin/env bash
# Builds the libraries of the Windows cross build with the same toolchain and
# installs them into DEPS_DIR/prefix: GoogleTest from the source Debian ships
# in /usr/src/googletest, pugixml from Debian's source package. Kept until the
# sources or the toolchain change, so re-runs skip this step.
# Usage: build-windows-deps.sh DEPS_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=${ZK_JOBS:-2}

pugixml_version=$(apt-cache showsrc pugixml | sed -n 's/^Version: //p' | head -n1)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
stamp="pugixml $pugixml_version; googletest $gtest_version; toolchain $(sha256sum "$toolchain" | cut -d' ' -f1)"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
  echo "Windows dependencies are up to date in $prefix"
  exit 0
fi
rm -rf "$deps/src" "$deps/build" "$prefix"
mkdir -p "$deps/src" "$deps/build"

configure_and_install() {
  local src=$1 bld=$2
  shift 2
  cmake -S "$src" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$bld" -j"$jobs"
  cmake --install "$bld"
}

configure_and_install /usr/src/googletest "$deps/build/googletest"

(cd "$deps/src" && apt-get source pugixml)
pugixml_src=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'pugixml-*' | head -n1)
[ -n "$pugixml_src" ] || { echo "apt-get source pugixml gave no source tree" >&2; exit 1; }
configure_and_install "$pugixml_src" "$deps/build/pugixml" -DPUGIXML_BUILD_TESTS=OFF

echo "$stamp" >"$prefix/.stamp"
