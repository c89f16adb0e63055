#!/usr/bin/env bash
# The group report of the generated dataset in headless Chromium: sdmgen --bids, brindle-bids
# participant (every run done) and group, then the page must load without a console error or a
# request leaving the machine, with every link (to the runs' pages too) resolving and nothing
# scrolling sideways, and so must a run's page; the screenshots stay in
# ARTIFACT_DIR/bids/group_report.png and run_page.png.
#   check_group_report.sh BUILD_DIR ARTIFACT_DIR
# Exits 77 (skipped) when Chromium or Node.js cannot be had.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
out="$2/bids"
# Only this check's own folders: the page checks leave theirs beside them.
rm -rf "$out/dataset" "$out/derivatives"
mkdir -p "$out"
"$build/sdmgen" --bids "$out/dataset"
status=0
"$build/brindle-bids" "$out/dataset" "$out/derivatives" participant -j 2 || status=$?
if [ "$status" -ne 0 ]; then
  echo "FAILED: the participant level exited with $status, not 0"
  exit 1
fi
"$build/brindle-bids" "$out/dataset" "$out/derivatives" group
"$here/../browser/check_in_chromium.sh" "$out/derivatives/group_report.html" \
  "$out/group_report.png" --allow-file-links --width 1366 --height 900 \
  --viewport-no-horizontal-scroll \
  --expect-text "Brindle group report" --expect-text "sub-02 ses-2 task-faces run-2" \
  --expect-text "faces VIF 44.4" --expect-text "faces cannot be estimated" --select "#f-mark" red --expect-visible "#runs tbody tr" 2
# The red run's own page, which the group page links: its links resolve, both pictures have
# their size and nothing scrolls sideways.
run="$out/derivatives/sub-02/ses-1/func/sub-02_ses-1_task-faces_run-2_desc-brindle_design.html"
exec "$here/../browser/check_in_chromium.sh" "$run" "$out/run_page.png" --allow-file-links \
  --width 1366 --height 900 --viewport-no-horizontal-scroll --expect-text "Mark and reasons" \
  --expect-text "faces ~ houses r = 0.97" --expect-visible "svg#heatmap" 1 \
  --expect-visible "svg#design" 1
