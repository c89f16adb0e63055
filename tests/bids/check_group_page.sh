#!/usr/bin/env bash
# The group report page of made-up runs in headless Chromium, with 6 and with 500 runs: every link
# resolves, nothing scrolls sideways in a 1366-pixel window, the filters and the search change the
# rows and the points shown, a point shows its value and a click on it opens its run's page. The
# screenshots stay in ARTIFACT_DIR/bids/group_page_6.png and group_page_500.png.
#   check_group_page.sh SAMPLE_PROGRAM ARTIFACT_DIR
# Exits 77 (skipped) when Chromium or Node.js cannot be had.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
sample="$1"
out="$2/bids"
mkdir -p "$out"
rm -rf "$out/group_page_6" "$out/group_page_500"
"$sample" "$out/group_page_6" 6
"$sample" "$out/group_page_500" 500
check() {
  local runs="$1"
  shift
  "$here/../browser/check_in_chromium.sh" "$out/group_page_$runs/group_report.html" \
    "$out/group_page_$runs.png" --allow-file-links --width 1366 --height 900 \
    --viewport-no-horizontal-scroll "$@"
}
# The strips: two contrasts' efficiencies and confound costs, then the largest VIF (#strip-4).
# Run 3 (sub-01 ses-2 task-faces run-1) has an infinite factor, run 5 none.
inf_run=sub-01/ses-2/func/sub-01_ses-2_task-faces_run-1_desc-brindle_design.html
check 6 --expect-text "6 of 6 runs shown" --expect-visible '#runs tbody tr' 6 \
  --select '#f-ses' 2 --expect-visible '#runs tbody tr' 3 \
  --expect-visible '#strip-4 a.pt:not(.out)' 2 \
  --type '#f-text' 'vif inf' --expect-visible '#runs tbody tr' 1 \
  --expect-visible '#strip-4 a.pt:not(.out)' 1 \
  --hover '#strip-4 a.pt:not(.out)' --expect-visible '#tip' 1 \
  --click '#strip-4 a.pt:not(.out)' --expect-url-suffix "$inf_run"
# 490 runs and 10 failed: the table shows 250 of them until asked for more. Of the runs with an
# infinite factor, one in 97, run 488 is drawn last, on top of the others.
last_inf_run=sub-82/ses-1/func/sub-82_ses-1_task-motor_run-3_desc-brindle_design.html
check 500 --expect-visible '#runs tbody tr' 250 --click '#more' --expect-visible '#runs tbody tr' 490 \
  --select '#f-mark' red --expect-visible '#runs tbody tr' 78 \
  --select '#f-mark' failed --expect-visible '#runs tbody tr' 0 \
  --expect-visible '#failed tbody tr' 10 --expect-visible 'a.pt:not(.out)' 0 \
  --select '#f-mark' '' --type '#f-text' 'sub-07 ' --expect-visible '#runs tbody tr' 6 \
  --expect-visible '#strip-4 a.pt:not(.out)' 6 --type '#f-text' '' \
  --expect-visible "#strip-4 a.pt[href='$last_inf_run']" 1 \
  --click "#strip-4 a.pt[href='$last_inf_run']" --expect-url-suffix "$last_inf_run"
