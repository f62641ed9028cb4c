#!/usr/bin/env bash
# ./run on a machine without a display must say so plainly, name the way to try
# it headless, and stop with a non-zero status before it installs or builds
# anything. cmake, dpkg-query and apt-get are replaced by stubs that fail
# loudly, so a check that lets ./run go on cannot start a build.
set -uo pipefail
run=$1
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
for tool in cmake dpkg-query apt-get; do
    printf '#!/bin/sh\necho "STUB %s REACHED" >&2\nexit 97\n' "$tool" >"$stubs/$tool"
    chmod +x "$stubs/$tool"
done

fail() { echo "FAIL: $*"; echo "--- output ---"; echo "$output"; exit 1; }

for args in "" "--no-virtual"; do
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$stubs:$PATH" "$run" $args 2>&1)
    status=$?
    [ "$status" -ne 0 ] || fail "./run $args exited with status 0"
    [ "$status" -ne 97 ] || fail "./run $args went on to install or build"
    grep -q "needs a graphical display" <<<"$output" || fail "./run $args does not say that a display is needed"
    grep -q "xvfb-run -a ./run" <<<"$output" || fail "./run $args does not say how to run it headless"
done
echo "ok"
