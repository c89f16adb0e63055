#!/usr/bin/env bash
# Runs the dialog script's tests with Node's own test runner; exits 77 ("skipped") without node.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
command -v node >/dev/null 2>&1 || { echo "SKIPPED: node (Node.js) is not installed; the dialog script was not tested"; exit 77; }
exec node --test "$here/brindle_dialog.test.js"
