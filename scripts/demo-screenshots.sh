#!/usr/bin/env bash
# Runs under Xvfb: starts the program, connects to the simulator, opens the
# About box, and saves a screenshot of each state.
set -euo pipefail
"$PELVANE_BUILD/app/pelvane" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
win=""
for _ in $(seq 100); do
    win=$(xdotool search --name '^Pelvane' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
done
[ -n "$win" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
import -window "$win" "$PELVANE_SHOTS/start.png"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool type --delay 20 "127.0.0.1"
xdotool key Return
sleep 3
import -window "$win" "$PELVANE_SHOTS/connected.png"
# The diagnosis tab, a few polls later: the flaky-cable node is red.
xdotool mousemove --window "$win" 150 80 click 1
sleep 2
import -window "$win" "$PELVANE_SHOTS/diagnosis.png"
xdotool mousemove --window "$win" 50 80 click 1
sleep 0.5
# The About entry sits in the context menu of the window's background.
xdotool mousemove --window "$win" 400 600 click 3
sleep 0.5
xdotool key Up Return
sleep 1
import -window root "$PELVANE_SHOTS/about.png"
xdotool key Escape
sleep 0.3
xdotool key Escape
wait $app 2>/dev/null || true
