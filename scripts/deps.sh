#!/usr/bin/env bash
# Installs the Debian packages that a job needs, and only those not yet
# installed: as root directly, otherwise through sudo. Every script installs
# through here.
#
#   scripts/deps.sh GROUP...
#
# Groups: build (library and example), test (unit and consumer tests), bench,
# sanitize (Clang with its sanitizer and libFuzzer runtimes), format
# (clang-format 14), windows (MinGW-w64 cross compiler, Wine, and the sources
# of pugixml and GoogleTest for the cross build), tool (the command-line
# program's libraries).
set -euo pipefail

declare -A group=(
  [build]="build-essential cmake pkg-config libpugixml-dev uuid-dev"
  [test]="build-essential cmake pkg-config libpugixml-dev uuid-dev libgtest-dev"
  [bench]="libbenchmark-dev"
  [sanitize]="clang libclang-rt-14-dev llvm"
  [format]="clang-format git"
  [windows]="cmake dpkg-dev googletest g++-mingw-w64-x86-64-posix wine wine64"
  [tool]="libcli11-dev nlohmann-json3-dev"
)

[ $# -gt 0 ] || { echo "usage: $0 GROUP... (${!group[*]})" >&2; exit 2; }
wanted=()
for g in "$@"; do
  [ -n "${group[$g]+set}" ] || { echo "deps: unknown group '$g' (${!group[*]})" >&2; exit 2; }
  read -r -a names <<<"${group[$g]}"
  wanted+=("${names[@]}")
done

# apt-get as root, or through sudo for anyone else; the frontend setting goes
# through env so that it reaches apt-get in both cases. Another apt run may
# hold the dpkg lock for a while: wait for it.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: not root and no sudo to install with" >&2; exit 1; }
  as_root=(sudo)
fi
apt() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${wanted[@]}"; do
  installed "$p" || [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
done

need_update=0
[ ${#missing[@]} -eq 0 ] || need_update=1

# The cross build compiles pugixml from Debian's source package, so it needs
# source entries: the binary entries that the machine already takes pugixml
# from, with their type changed to deb-src, in files of the project's own.
src_file=/etc/apt/sources.list.d/zknodedetail-src
existing() {
  for f in "$@"; do [ ! -f "$f" ] || printf '%s\n' "$f"; done
}
pugixml_roots() {
  apt-cache policy libpugixml-dev 2>/dev/null |
    awk '$1 ~ /^[0-9]+$/ && $2 ~ /:\/\// { print $2 }' | sort -u
}
if [[ " $* " == *" windows "* ]] && [ ! -f "$src_file.sources" ] && [ ! -f "$src_file.list" ]; then
  mapfile -t roots < <(pugixml_roots)
  if [ ${#roots[@]} -eq 0 ]; then  # a machine whose package lists were never fetched
    apt update
    need_update=0
    mapfile -t roots < <(pugixml_roots)
  fi
  [ ${#roots[@]} -gt 0 ] || { echo "deps: no configured source provides pugixml" >&2; exit 1; }
  # deb822 stanzas of type deb that name one of those roots.
  stanzas=$(existing /etc/apt/sources.list.d/*.sources | xargs -r cat | awk -v roots="${roots[*]}" '
    BEGIN { RS = ""; n = split(roots, r, " ") }
    /(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ {
      for (i = 1; i <= n; ++i)
        if (index($0, r[i]) > 0) { sub(/Types:[^\n]*/, "Types: deb-src"); print $0 "\n"; break }
    }')
  # One-line entries of type deb that name one of them.
  lines=$(existing /etc/apt/sources.list /etc/apt/sources.list.d/*.list | xargs -r cat | awk -v roots="${roots[*]}" '
    BEGIN { n = split(roots, r, " ") }
    $1 == "deb" {
      for (i = 1; i <= n; ++i)
        if (index($0, " " r[i]) > 0) { sub(/^deb/, "deb-src"); print; break }
    }')
  [ -n "$stanzas$lines" ] || { echo "deps: found no entry for ${roots[*]}" >&2; exit 1; }
  [ -z "$stanzas" ] || printf '%s\n' "$stanzas" | "${as_root[@]}" tee "$src_file.sources" >/dev/null
  [ -z "$lines" ] || printf '%s\n' "$lines" | "${as_root[@]}" tee "$src_file.list" >/dev/null
  need_update=1
fi
# A source entry is of no use until its index has been fetched.
if [[ " $* " == *" windows "* ]] && ! compgen -G "/var/lib/apt/lists/*_Sources*" >/dev/null; then
  need_update=1
fi

if [ "$need_update" -eq 1 ]; then
  apt update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  apt install -y --no-install-recommends "${missing[@]}"
fi
