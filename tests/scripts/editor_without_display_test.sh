#!/usr/bin/env bash
# The editor started without a display explains itself and exits with status 1.
set -uo pipefail
output=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 20 "$1" 2>&1)
status=$?
fail() { echo "FAIL: $*"; echo "--- output ---"; echo "$output"; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
grep -q "needs a graphical" <<<"$output" || fail "no plain message"
grep -q "xvfb-run -a talvex-editor" <<<"$output" || fail "no word of xvfb-run"
grep -q "Reinstalling" <<<"$output" && fail "Qt's advice to reinstall is still shown"
echo "ok"
