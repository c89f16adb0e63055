#!/usr/bin/env bash
# Fails, naming each file and its first place that differs, when a C++ file of src/, tormel/,
# bids/ or tools/ differs from what clang-format makes of it with the repository's .clang-format.
# The X-macro lists (*.inc) keep their one entry per line as written. Skips (77) without
# clang-format; the style is kept with clang-format 14 (Debian 12), which comes first.
#   tests/format_check.sh [ROOT]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"
formatter=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null; then formatter="$candidate"; break; fi
done
if [ -z "$formatter" ]; then
  echo "SKIPPED: no clang-format on PATH"
  exit 77
fi
failures=0
while IFS= read -r -d '' file; do
  if ! report=$("$formatter" --style=file --dry-run --Werror "$file" 2>&1); then
    first=$(grep -m 1 -e 'error:' <<<"$report" || true)
    if [[ "$first" == *clang-format-violations* ]]; then
      echo "$file: not formatted, first at ${first%%: error:*} (run: $formatter -i $file)"
    else
      echo "$file: $formatter failed: ${first:-$report}"
    fi
    failures=$((failures + 1))
  fi
done < <(find src tormel bids tools -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 | sort -z)
if [ "$failures" -gt 0 ]; then
  echo "$failures file(s) differ from clang-format"
  exit 1
fi
echo "Every C++ file of src/, tormel/, bids/ and tools/ is formatted"
