#!/usr/bin/env bash
# Proves the README's two set-up commands on a machine that already has every
# package: in a clean clone of HEAD, with stand-ins for dpkg-query (every
# package "not installed"), apt-get (logs instead of installing) and sudo
# first on PATH, both commands must pass and must have asked apt-get to
# install what they need. The install step is also run as a user without
# root, which must go through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

git clone --quiet --no-hardlinks "$root" "$work/clone"
mkdir "$work/bin"
log=$work/apt.log
export ZK_SETUP_LOG=$log

cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
echo "dpkg-query: no packages found matching $*" >&2
exit 1
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get uid=$(id -u) $*" >>"$ZK_SETUP_LOG"
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/bin/sh
echo "sudo $*" >>"$ZK_SETUP_LOG"
ZK_AS_ROOT=1 exec "$@"
EOF
# For the run as a user: id answers a user's uid except inside sudo.
cat >"$work/bin-user-id" <<'EOF'
#!/bin/sh
if [ "$1" = "-u" ] && [ -z "${ZK_AS_ROOT:-}" ]; then echo 1000; else exec /usr/bin/id "$@"; fi
EOF
chmod +x "$work/bin/"* "$work/bin-user-id"

fail() {
  echo "check-setup: $*" >&2
  [ ! -s "$log" ] || { echo "apt-get and sudo were called as:" >&2; cat "$log" >&2; }
  exit 1
}

# Each package of the list must have been named in an 'apt-get install' run
# as root (uid 0); $1 is what the run was.
expect_installed() {
  local what=$1
  shift
  grep -q '^apt-get uid=0 .* update$' "$log" || fail "$what: no 'apt-get update' as root"
  for p in "$@"; do
    grep -Eq "^apt-get uid=0 .* install .*(^| )$p( |$)" "$log" ||
      fail "$what: '$p' looked missing but no 'apt-get install' as root named it"
  done
}

run() {
  local what=$1
  shift
  : >"$log"
  echo "check-setup: $what"
  if ! (cd "$work/clone" && PATH="$work/bin:$PATH" "$@") >"$work/out.log" 2>&1; then
    tail -n 40 "$work/out.log" >&2
    fail "$what failed"
  fi
}

run "bash scripts/run-example.sh (as root)" bash scripts/run-example.sh
expect_installed "run-example.sh" build-essential cmake libpugixml-dev uuid-dev
grep -q sudo "$log" && fail "run-example.sh: used sudo as root"

run "bash scripts/run-tests.sh (as root)" bash scripts/run-tests.sh
expect_installed "run-tests.sh" build-essential cmake libpugixml-dev uuid-dev libgtest-dev \
  libcli11-dev nlohmann-json3-dev
grep -q '100% tests passed' "$work/out.log" || fail "run-tests.sh: the tests did not all pass"

cp "$work/bin-user-id" "$work/bin/id"
run "bash scripts/deps.sh test (as a user with sudo)" bash scripts/deps.sh test
grep -q '^sudo ' "$log" || fail "deps.sh as a user: did not go through sudo"
expect_installed "deps.sh as a user" libpugixml-dev libgtest-dev
rm "$work/bin/id"

echo "check-setup: passed"
