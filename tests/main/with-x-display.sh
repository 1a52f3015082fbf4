#!/usr/bin/env bash
# Runs a command on a virtual X display of its own with a window manager:
# with-x-display.sh COMMAND...
set -euo pipefail
work=$(mktemp -d /tmp/tidebell-x.XXXXXX)
case "$work" in /tmp/tidebell-x.*) ;; *) exit 1 ;; esac
xvfb_pid=
wm_pid=
finish() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n1 "$work/display")"
# Windows go where they ask to be, without a title bar or placement by hand.
printf 'NoTitle\nRandomPlacement\nUsePPosition "on"\n' >"$work/twmrc"
DISPLAY=$display twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
wm_pid=$!
sleep 0.5
DISPLAY=$display QT_QPA_PLATFORM=xcb "$@"
