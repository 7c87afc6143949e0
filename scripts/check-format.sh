#!/usr/bin/env bash
# Fails when a C++ source or header of the repository (tracked, or new and not
# ignored) differs from what clang-format 14 makes of it with the repository's
# .clang-format. Other clang-format versions format some constructs
# differently, so the version is checked; CLANG_FORMAT names another binary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh format
if [ -n "${CLANG_FORMAT:-}" ]; then
  cf=$CLANG_FORMAT
elif command -v clang-format-14 >/dev/null; then
  cf=clang-format-14
else
  cf=clang-format
fi
if ! "$cf" --version 2>/dev/null | grep -q 'version 14\.'; then
  echo "check-format: needs clang-format 14 (found: $("$cf" --version 2>&1 | head -n 1))" >&2
  exit 1
fi
files=()
while IFS= read -r -d '' f; do
  [ -f "$f" ] && files+=("$f")  # a file deleted but not yet staged is skipped
done < <(git ls-files -z --cached --others --exclude-standard -- '*.h' '*.cpp')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C++ files found" >&2
  exit 1
fi
"$cf" --dry-run --Werror "${files[@]}"
echo "check-format: ${#files[@]} files formatted"
