#!/usr/bin/env bash
# Installs what the Windows cross build and its test run need (Debian): the
# MinGW-w64 cross compiler, Wine, and a deb-src entry so that pugixml can be
# built from Debian's own source package.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
# Another apt run may hold the dpkg lock for a while: wait for it.
APT=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)

packages=(cmake googletest dpkg-dev g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# deb-src lines matching the configured binary sources, in a file of our own.
need_update=0
src_list=/etc/apt/sources.list.d/zk-deb-src.sources
if [ ! -f "$src_list" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src_list" >/dev/null
  else
    $SUDO tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  need_update=1
fi
# An update is also due when the source index has never been fetched.
compgen -G "/var/lib/apt/lists/*_source_Sources*" >/dev/null || need_update=1

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  "${APT[@]}" update
fi
if [ ${#missing[@]} -gt 0 ]; then
  "${APT[@]}" install -y --no-install-recommends "${missing[@]}"
fi
