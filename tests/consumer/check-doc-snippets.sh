#!/usr/bin/env bash
# Fails unless every code block of docs/usage.md that is marked
# "<!-- snippet: NAME -->" equals, line for line, the text between
# "snippet: NAME" and "snippet end" in the consumer project's sources, and
# every snippet of the sources appears on the page. A cpp block without a
# marker fails too: the page shows no code that the consumer test does not
# compile.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/src" "$out/doc"

awk -v dir="$out/src" '
  /^[ \t]*(\/\/|#) snippet end[ \t]*$/ { if (file != "") close(file); file = ""; next }
  /^[ \t]*(\/\/|#) snippet: / {
    name = $0; sub(/^[ \t]*(\/\/|#) snippet: /, "", name)
    if (name in seen) { print FILENAME ":" FNR ": snippet " name " defined twice" > "/dev/stderr"; bad = 1 }
    seen[name] = 1
    file = dir "/" name; printf "" > file; next
  }
  file != "" { print > file }
  END { exit bad }
' tests/consumer/CMakeLists.txt tests/consumer/*.h tests/consumer/*.cpp

awk -v dir="$out/doc" '
  skip { if ($0 ~ /^```[ \t]*$/) skip = 0; next }
  file != "" {
    if ($0 ~ /^```[ \t]*$/) { close(file); file = "" } else print > file
    next
  }
  /^<!-- snippet: .* -->$/ { name = $0; sub(/^<!-- snippet: /, "", name); sub(/ -->$/, "", name); next }
  /^```/ {
    if (name != "") { file = dir "/" name; name = ""; printf "" > file; next }
    if ($0 ~ /^```(cpp|c\+\+)[ \t]*$/) { print "docs/usage.md:" NR ": cpp block without a snippet marker" > "/dev/stderr"; bad = 1 }
    skip = 1; next
  }
  END { exit bad }
' docs/usage.md

if ! diff -r "$out/src" "$out/doc"; then
  echo "docs/usage.md and the consumer test differ (< sources, > page)" >&2
  exit 1
fi
echo "doc snippets: $(ls "$out/src" | wc -l) match"
