#!/usr/bin/env bash
# Fails unless every code block of README.md and docs/usage.md that is marked
# "<!-- snippet: NAME -->" equals, line for line, the text between
# "snippet: NAME" and "snippet end" in the consumer project's sources, and
# every snippet of the sources appears on one of the pages. A cpp block
# without a marker fails too: the pages show no code that the consumer test
# does not compile.
set -euo pipefail
cd "$(dirname "$0")/../.."
pages=(README.md docs/usage.md)
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

bad=0
for page in "${pages[@]}"; do
  dir=$out/doc/${page//\//_}
  mkdir "$dir"
  awk -v dir="$dir" -v page="$page" '
    skip { if ($0 ~ /^```[ \t]*$/) skip = 0; next }
    file != "" {
      if ($0 ~ /^```[ \t]*$/) { close(file); file = "" } else print > file
      next
    }
    /^<!-- snippet: .* -->$/ { name = $0; sub(/^<!-- snippet: /, "", name); sub(/ -->$/, "", name); next }
    /^```/ {
      if (name != "") { file = dir "/" name; name = ""; printf "" > file; next }
      if ($0 ~ /^```(cpp|c\+\+)[ \t]*$/) { print page ":" NR ": cpp block without a snippet marker" > "/dev/stderr"; bad = 1 }
      skip = 1; next
    }
    END { exit bad }
  ' "$page" || bad=1
  # Each snippet a page shows is the sources' own.
  for shown in "$dir"/*; do
    [ -e "$shown" ] || continue
    name=${shown##*/}
    if [ ! -f "$out/src/$name" ]; then
      echo "$page: snippet $name is not in the consumer test's sources" >&2
      bad=1
    elif ! diff "$out/src/$name" "$shown"; then
      echo "$page: snippet $name differs from the consumer test (< sources, > page)" >&2
      bad=1
    fi
  done
done
# Each snippet of the sources is shown on a page.
for source in "$out/src"/*; do
  name=${source##*/}
  if ! ls "$out"/doc/*/"$name" >/dev/null 2>&1; then
    echo "snippet $name of the consumer test is on no page" >&2
    bad=1
  fi
done
[ "$bad" = 0 ] || exit 1
echo "doc snippets: $(ls "$out/src" | wc -l) match"
