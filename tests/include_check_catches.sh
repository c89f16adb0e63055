#!/usr/bin/env bash
# The include check fails, naming the file and line, on a copy of the tree whose base and sdm
# sources each include the plug-in.
set -euo pipefail
source_dir="$1"
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir/src" "$source_dir/tormel" "$source_dir/bids" "$source_dir/tools" "$copy/"
for file in src/base/paths.cpp src/sdm/design_matrix.cpp; do
  printf '#include "plugin/brindle.h"\n' >> "$copy/$file"
done
lines_base=$(wc -l < "$copy/src/base/paths.cpp")
lines_sdm=$(wc -l < "$copy/src/sdm/design_matrix.cpp")
if output="$("$source_dir/tests/include_check.sh" "$copy")"; then
  echo "the check passed a tree that breaks the arrows:"; echo "$output"; exit 1
fi
expected="src/base/paths.cpp:$lines_base: base/ may not include plugin/ (allowed: none)
src/sdm/design_matrix.cpp:$lines_sdm: sdm/ may not include plugin/ (allowed: base contract)
2 include(s) against the arrows"
if [ "$output" != "$expected" ]; then
  printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$output"; exit 1
fi
echo "The check names both includes"
