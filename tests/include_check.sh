#!/usr/bin/env bash
# Fails, naming the file and line, on every #include "folder/..." in src/ or tormel/ that goes
# against the arrows between the folders. This table is the one place that lists them; each
# folder may include itself and what is listed after it.
#   tests/include_check.sh [ROOT]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

declare -A allowed=(
  [host]=""
  [base]=""
  [contract]=""
  [sdm]="base"
  [merge]="sdm base"
  [correlation]="sdm base"
  [confounds]="sdm base"
  [events]="sdm base"
  [diagnostics]="correlation contract sdm base"
  [heatmap]="correlation sdm base"
  [report]="correlation contract diagnostics heatmap sdm base"
  [plugin]="host base contract sdm merge correlation confounds events diagnostics heatmap report"
  [tormel]="host"
)

failures=0
check() {  # check FILE FOLDER: every quoted include with a folder must be allowed
  local file="$1" folder="$2" number=0 line target
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([A-Za-z0-9_]+)/ ]] || continue
    target="${BASH_REMATCH[1]}"
    [ "$target" = "$folder" ] && continue
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$file:$number: $folder/ may not include $target/ (allowed: ${allowed[$folder]:-none})"
      failures=$((failures + 1))
    fi
  done < "$file"
}

for dir in src/*/ tormel/; do
  folder="$(basename "$dir")"
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "$dir: a folder the include table does not know; add it to $0"
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r -d '' file; do
    check "$file" "$folder"
  done < <(find "$dir" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' -o -name '*.c' \) -print0 | sort -z)
done

if [ "$failures" -gt 0 ]; then
  echo "$failures include(s) against the arrows"
  exit 1
fi
echo "Every include follows the arrows"
