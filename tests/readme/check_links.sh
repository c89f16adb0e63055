#!/usr/bin/env bash
# Every relative link of the README and of docs/*.md leads somewhere: the file (or folder) it
# names exists, and a "#part" names a heading of its page, as the page's headings are turned into
# anchors (lower case, punctuation but "-" and "_" dropped, blanks as "-").
#   check_links.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
failures=0
checked=0

# The anchors of the headings of a markdown page, one a line (code blocks skipped).
anchors() {
  awk '/^```/ { code = !code; next } !code && /^#+ / { sub(/^#+ /, ""); print }' "$1" |
    tr '[:upper:]' '[:lower:]' | sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}

for page in "$source_dir/README.md" "$source_dir"/docs/*.md; do
  folder=$(dirname "$page")
  # Links as [text](target) and ![alt](target), code spans and blocks excepted.
  links=$(awk '/^```/ { code = !code; next } !code' "$page" | sed 's/`[^`]*`//g' |
    grep -oE '\]\([^) ]+\)' | sed -e 's/^](//' -e 's/)$//' || true)
  for link in $links; do
    case "$link" in http://* | https://* | mailto:*) continue ;; esac
    checked=$((checked + 1))
    file=${link%%#*}
    part=""
    [[ $link == *#* ]] && part=${link#*#}
    target=$page
    [ -n "$file" ] && target="$folder/$file"
    if [ ! -e "$target" ]; then
      echo "${page#$source_dir/}: link to a missing file: $link"
      failures=$((failures + 1))
    elif [ -n "$part" ] && ! anchors "$target" | grep -qxF -- "$part"; then
      echo "${page#$source_dir/}: no heading for #$part in ${target#$source_dir/}"
      failures=$((failures + 1))
    fi
  done
done
echo "$checked relative links checked, $failures broken"
[ "$checked" -gt 0 ] && [ "$failures" -eq 0 ]
