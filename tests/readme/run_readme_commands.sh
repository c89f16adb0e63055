#!/usr/bin/env bash
# Runs every command of the README's ```sh blocks as a reader pastes it from the project root,
# and fails when one exits with a status other than 0.
#   run_readme_commands.sh SOURCE_DIR BUILD_DIR
# The commands run in a scratch copy of the project root (examples/ copied, build/ a link to
# BUILD_DIR, HOME a scratch folder), so nothing they write lands in the repository or the home
# folder. The quick-start commands that build the project (scripts/demo, scripts/test) are not
# run here: the suite that runs this script is what they run.
set -euo pipefail
source_dir=$1
build_dir=$2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/readme-commands.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
mkdir -p "$root" "$scratch/home"
cp -R "$source_dir/examples" "$root/examples"
ln -s "$build_dir" "$root/build"

# One command per entry: comment lines dropped, lines ending in "\" joined with the next.
commands=()
in_block=0
command=""
while IFS= read -r line || [ -n "$line" ]; do
  if [ $in_block -eq 0 ]; then
    [[ $line =~ ^\`\`\`sh[[:space:]]*$ ]] && in_block=1
    continue
  fi
  if [[ $line =~ ^\`\`\` ]]; then
    in_block=0
    continue
  fi
  [[ $line =~ ^[[:space:]]*(#|$) ]] && [ -z "$command" ] && continue
  if [[ $line == *\\ ]]; then
    command+="${line%\\} "
    continue
  fi
  commands+=("$command$line")
  command=""
done <"$source_dir/README.md"

if [ ${#commands[@]} -eq 0 ]; then
  echo "no command found in the README's sh blocks"
  exit 1
fi

failures=0
ran=0
for command in "${commands[@]}"; do
  case "$command" in
    scripts/demo* | scripts/test*)
      echo "not run here (it builds the project): $command"
      continue
      ;;
  esac
  ran=$((ran + 1))
  status=0
  output=$(cd "$root" && HOME="$scratch/home" bash -c "$command" 2>&1) || status=$?
  if [ $status -ne 0 ]; then
    echo "FAILED with exit status $status: $command"
    printf '%s\n' "$output" | sed 's/^/  | /'
    failures=$((failures + 1))
  else
    echo "ok: $command"
  fi
done
echo "$ran commands run, $failures failed"
[ $failures -eq 0 ]
