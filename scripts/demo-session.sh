#!/usr/bin/env bash
# One demo session: the simulator on 127.0.0.1 and the program beside it.
# Called by run.sh, inside a private network namespace where it can be.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
shots=${PELVANE_SHOTS:-screenshots}

log=$(mktemp)
"$build/sim/kestrum-sim" --bus sim/buses/demo.json --address 127.0.0.1 >"$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do
    grep -q "listening on" "$log" && break
    kill -0 $sim 2>/dev/null || { cat "$log" >&2; exit 1; }
    sleep 0.1
done
echo "simulator: $(head -n 1 "$log")"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "type 127.0.0.1 into the IP box (or open its list to search), then press 连  接"
    "$build/app/pelvane"
    exit 0
fi

# No display: drive the window under Xvfb and keep pictures of it.
mkdir -p "$shots"
export PELVANE_BUILD=$build PELVANE_SHOTS=$shots
xvfb-run -a -s "-screen 0 1280x900x24" bash scripts/demo-screenshots.sh
echo "screenshots in $shots/"
