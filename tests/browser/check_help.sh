#!/usr/bin/env bash
# Checks the help page in headless Chromium: internal links, images and SVG references resolve,
# no console error, no request leaves the machine. Keeps a screenshot of the whole page.
#   check_help.sh [ARTIFACT_DIR]      (default: build/artifacts)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
artifacts="${1:-$root/build/artifacts}"
exec "$here/check_in_chromium.sh" "$root/HelpFolder/index.html" "$artifacts/help_page.png" \
  --expect-text "Failed opening for reading: " \
  --expect-text "Invalid SDM header in " \
  --expect-text "Cannot Create file: " \
  --expect-text "Cannot write file: " \
  --expect-text "No secondary SDMs available" \
  --expect-text "Not enough secondary SDMs available" \
  --expect-text " does not have the same number of data points as " \
  --expect-text "Can not execute this plugin - Tormel version 2.8 or higher required." \
  --expect-text "Not a number in " \
  --expect-text "Number out of range in " \
  --expect-text "Unknown confound preset " \
  --expect-text "(it is an input of this task)" \
  --expect-text "Damaged SDM file: " \
  --expect-text "Not enough memory" \
  --expect-text "sub01_run1_run2" \
  --expect-text "left_right" \
  --expect-text "sub01_run1_sub02_run1" \
  --expect-text "No confound column matches " \
  --expect-text "Confounds from " \
  --expect-text "Invalid repetition time: " \
  --expect-text "Invalid HRF model: " \
  --expect-text "Cannot model the events of "
