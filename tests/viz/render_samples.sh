#!/usr/bin/env bash
# Draws the sample heatmaps and design pictures and renders each in headless Chromium, which must
# parse it as SVG without an error; screenshots go beside them.
#   render_samples.sh PLOT_SAMPLES_PROGRAM ARTIFACT_DIR
# Exits 77 (skipped) when Chromium or Node.js cannot be had.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$1"
out="$2/heatmaps"
rm -rf "$out"
mkdir -p "$out"
"$program" "$out"
status=0
for svg in "$out"/*.svg; do
  set +e
  "$here/../browser/check_in_chromium.sh" "$svg" "${svg%.svg}.png" --expect-svg --width 1000 --height 700
  code=$?
  set -e
  [ "$code" -eq 77 ] && exit 77
  [ "$code" -eq 0 ] || status=1
done
exit "$status"
