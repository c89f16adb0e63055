#!/usr/bin/env bash
# The include check fails, naming the file and line, on a copy of the tree whose base and sdm
# sources each include the plug-in, whose base tests include the SDM reader and whose sdm tests
# include the fake host.
set -euo pipefail
source_dir="$1"
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir/src" "$source_dir/tormel" "$source_dir/bids" "$source_dir/tools" \
  "$source_dir/tests" "$source_dir/docs" "$copy/"
plant() {  # plant FILE INCLUDE: appends the include; prints the number of its line
  printf '#include "%s"\n' "$2" >> "$copy/$1"
  wc -l < "$copy/$1"
}
line_base=$(plant src/base/paths.cpp plugin/brindle.h)
line_sdm=$(plant src/sdm/design_matrix.cpp plugin/brindle.h)
line_test=$(plant tests/base/split_test.cpp sdm/design_matrix.h)
line_support=$(plant tests/sdm/value_text_test.cpp support/fake_host.h)
if output="$("$source_dir/tests/include_check.sh" "$copy")"; then
  echo "the check passed a tree that breaks the arrows:"; echo "$output"; exit 1
fi
expected="src/base/paths.cpp:$line_base: base/ may not include plugin/ (allowed: none)
src/sdm/design_matrix.cpp:$line_sdm: sdm/ may not include plugin/ (allowed: base contract)
tests/base/split_test.cpp:$line_test: tests/base/ may not include sdm/ (allowed: base)
tests/sdm/value_text_test.cpp:$line_support: tests/sdm/ may not include support/fake_host.h: it stands on host/ (allowed: sdm base contract)
4 include(s) against the arrows"
if [ "$output" != "$expected" ]; then
  printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$output"; exit 1
fi
echo "The check names every include"
