#!/usr/bin/env bash
# Checks the man pages in man/: groff formats each with the man macros and every warning on, for
# the terminal and for print, without a single warning; each page names every long option that
# its program's --help names and no other, and the version that the program prints.
#   lint_man_pages.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2

if ! command -v groff >/dev/null; then
  echo "FAILED: groff is not installed (scripts/install-deps installs groff-base)"
  exit 1
fi

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

pages=("$source_dir"/man/*.1)
[ -f "${pages[0]}" ] || fail "no man page in $source_dir/man"
for page in "${pages[@]}"; do
  name=$(basename "$page" .1)
  for device in utf8 ps; do
    status=0
    warnings=$(groff -ww -z -man -T"$device" "$page" 2>&1) || status=$?
    [ "$status" -eq 0 ] || fail "$name.1: groff -T$device exited with $status"
    [ -z "$warnings" ] || fail "$name.1: groff -T$device warns:"$'\n'"$warnings"
  done

  program="$build_dir/$name"
  if [ ! -x "$program" ]; then
    fail "$name.1: no program $program to compare the page with"
    continue
  fi
  # Long options as --help writes them (--name) and as the page does (\-\-name).
  help_options=$("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
  page_options=$(grep -oE -- '\\-\\-[a-z]([a-z]|\\-)*' "$page" | sed 's/\\-/-/g' | sort -u)
  missing=$(comm -23 <(echo "$help_options") <(echo "$page_options"))
  unknown=$(comm -13 <(echo "$help_options") <(echo "$page_options"))
  [ -z "$missing" ] || fail "$name.1 lacks what $name --help names: $(echo $missing)"
  [ -z "$unknown" ] || fail "$name.1 names what $name --help does not: $(echo $unknown)"

  # The program's first --version line ends in "(Brindle) X.Y"; the page's title says "Brindle X.Y".
  version=$({ "$program" --version 2>/dev/null || true; } | sed -n '1s/^.* (Brindle) //p')
  titled=$(sed -n 's/^\.TH [^ ]* 1 "[^"]*" "Brindle \([^"]*\)".*/\1/p' "$page")
  [ -n "$version" ] && [ "$titled" = "$version" ] ||
    fail "$name.1 is titled for Brindle '$titled', $name --version says '$version'"
  [ "$failures" -gt 0 ] || echo "ok   $name.1: no warning, $(echo "$help_options" | wc -l) options as in --help, Brindle $version"
done

if [ "$failures" -gt 0 ]; then
  echo "FAILED: $failures problem(s) in the man pages"
  exit 1
fi
