#!/usr/bin/env bash
# Runs under Xvfb: starts the program, connects to the simulator, and saves a
# screenshot of the start state and of the connected state.
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
import -window root "$PELVANE_SHOTS/start.png"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
xdotool type --delay 20 "127.0.0.1"
xdotool key Return
sleep 3
import -window root "$PELVANE_SHOTS/connected.png"
xdotool key Escape
wait $app 2>/dev/null || true
