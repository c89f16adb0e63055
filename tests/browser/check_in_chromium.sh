#!/usr/bin/env bash
# Loads one local page in headless Chromium and checks it (see check_page.js).
#   check_in_chromium.sh PAGE SCREENSHOT.png [check_page.js options...]
# Installs Debian's chromium package when it is missing and this runs as root with apt-get
# (set BRINDLE_NO_INSTALL=1 to forbid that). Exits 77, which the test registration reads as
# "skipped", when Node.js or Chromium cannot be had; 0 when every check passes, 1 otherwise.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
page="$1"
shot="$2"
shift 2

skip() {
  echo "SKIPPED: $*"
  exit 77
}

command -v node >/dev/null 2>&1 || skip "node (Node.js) is not installed, so the page cannot be checked in a browser"

find_chromium() {
  for candidate in "${CHROMIUM:-}" chromium chromium-browser google-chrome; do
    [ -n "$candidate" ] && command -v "$candidate" 2>/dev/null && return 0
  done
  return 1
}

chromium="$(find_chromium || true)"
if [ -z "$chromium" ] && [ "${BRINDLE_NO_INSTALL:-0}" != 1 ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "chromium is missing: installing Debian's chromium package"
  (
    # Two browser tests may start at once; one installs, the other waits for it.
    flock 9
    if ! find_chromium >/dev/null; then
      export DEBIAN_FRONTEND=noninteractive
      timeout 600 apt-get -o DPkg::Lock::Timeout=300 update -qq || true
      timeout 600 apt-get -o DPkg::Lock::Timeout=300 install -y -qq chromium >/dev/null || true
    fi
  ) 9>"${TMPDIR:-/tmp}/brindle-chromium-install.lock"
  chromium="$(find_chromium || true)"
fi
[ -n "$chromium" ] || skip "chromium is not installed and could not be installed here (apt-get install chromium); the page was not checked"

exec node "$here/check_page.js" --chromium "$chromium" --page "$page" --screenshot "$shot" "$@"
