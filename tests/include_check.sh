#!/usr/bin/env bash
# Fails, naming the file and line, on every #include "folder/..." in src/, tormel/, bids/, tools/
# or tests/ that goes against the arrows between the folders. The layer table of
# docs/architecture.md is the one place that lists them; each folder may include itself and what
# its row lists.
#   tests/include_check.sh [ROOT]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

# The layers and what each may include: the table of docs/architecture.md, between its layer
# markers, one row a folder: | `folder` | `included` `included`... | what it holds |.
declare -A allowed=()
while IFS='|' read -r _ folder includes _; do
  folder="${folder//[\` ]/}"
  # shellcheck disable=SC2086 # split and joined again: one blank between names
  allowed[$folder]="$(echo ${includes//\`/})"
done < <(sed -n '/^<!-- layers/,/^<!-- \/layers -->/p' docs/architecture.md | grep '^| `')
if [ "${#allowed[@]}" -eq 0 ]; then
  echo "docs/architecture.md: no layer table between its layer markers"
  exit 1
fi

# The tests: each folder of tests/ named after a folder above is built into a program linked to
# that folder's library alone, so it may include what that folder may, the shared test support,
# and the generators of tools/ where its program links one (the headers of tools/ are included
# without a folder: "design_generator.h"). The other folders of tests/ follow.
declare -A test_extra=(
  [confounds]="tools"  # the reader is tested on the generator's tables
  [bids]="tools"       # the image and confound generators write the datasets
)
declare -A test_allowed=(
  # Tormel and sdmgen as child processes; some outputs are read back with the SDM reader.
  [e2e]="sdm base contract"
  # The parallel steps of every layer, through the plug-in too.
  [threads]="host base contract sdm merge correlation confounds events diagnostics heatmap report plugin tools"
  # The fuzz targets' checks (fuzz/), which stand on merge and correlation.
  [hardening]="merge correlation sdm base contract"
  # Sample pictures drawn by the report's parts.
  [viz]="report diagnostics heatmap correlation sdm base contract"
  [browser]="" [js]="" [man]="" [readme]="" [windows]=""
)
for folder in "${!allowed[@]}"; do
  # shellcheck disable=SC2086 # split and joined again: one blank between names
  test_allowed[$folder]="$(echo $folder ${allowed[$folder]} ${test_extra[$folder]:-})"
done
# The parts of tests/support/ that stand on a layer, by file name without its ending; every other
# part is generic (the standard library and GoogleTest) and may be included by every test.
declare -A support_needs=(
  [fake_host]="host"
  [faulty_file_system]="base"
  [live_threads]="base"
  [parameter_texts]="contract"
  [columns]="sdm"
)

failures=0
complain() {  # complain FILE LINE TEXT
  echo "$1:$2: $3"
  failures=$((failures + 1))
}

# check FILE FOLDER ALLOWED: every quoted include with a folder must be FOLDER or in ALLOWED. In
# tests/ (FOLDER tests/NAME) an include of support/ must fit too, and a header of tools/ counts as
# the folder tools.
check() {
  local file="$1" folder="$2" list="$3" number=0 line target name needs
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    if [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([A-Za-z0-9_]+)/([A-Za-z0-9_]+) ]]; then
      target="${BASH_REMATCH[1]}"
      name="${BASH_REMATCH[2]}"
    elif [[ "$folder" == tests/* && "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([A-Za-z0-9_.]+)\" ]] &&
      [ -f "tools/${BASH_REMATCH[1]}" ]; then
      target=tools
      name="${BASH_REMATCH[1]}"
    else
      continue
    fi
    [ "$target" = "${folder#tests/}" ] && [ "$target" != support ] && continue
    if [[ "$folder" == tests/* && "$target" == support ]]; then
      needs="${support_needs[$name]:-}"
      if [ -n "$needs" ] && [[ " ${folder#tests/} $list " != *" $needs "* ]]; then
        complain "$file" "$number" "$folder/ may not include support/$name.h: it stands on $needs/ (allowed: ${list:-none})"
      fi
      continue
    fi
    if [[ " $list " != *" $target "* ]]; then
      complain "$file" "$number" "$folder/ may not include $target/ (allowed: ${list:-none})"
    fi
  done < "$file"
}

sources() {  # sources DIR: the C and C++ files under DIR, NUL-separated, sorted
  find "$1" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' -o -name '*.c' \) -print0 | sort -z
}

for dir in src/*/ tormel/ bids/ tools/; do
  folder="$(basename "$dir")"
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "$dir: a folder the include table does not know; add it to $0"
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r -d '' file; do
    check "$file" "$folder" "${allowed[$folder]}"
  done < <(sources "$dir")
done

if [ -d tests ]; then
  for dir in tests/*/; do
    folder="$(basename "$dir")"
    if [ "$folder" = support ]; then
      # Each part of the support may include the generic parts and the layer it stands on.
      while IFS= read -r -d '' file; do
        stem="$(basename "${file%.*}")"
        check "$file" tests/support "${support_needs[$stem]:-}"
      done < <(sources "$dir")
      continue
    fi
    if [ -z "${test_allowed[$folder]+set}" ]; then
      echo "$dir: a folder of tests the include table does not know; add it to $0"
      failures=$((failures + 1))
      continue
    fi
    while IFS= read -r -d '' file; do
      check "$file" "tests/$folder" "${test_allowed[$folder]}"
    done < <(sources "$dir")
  done
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures include(s) against the arrows"
  exit 1
fi
echo "Every include follows the arrows"
