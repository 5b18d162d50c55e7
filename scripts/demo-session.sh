#!/usr/bin/env bash
# One demo session: the simulator on 127.0.0.1 and the program beside it. With
# PELVANE_SEGMENT=1 the simulator emulates its bus as a segment on a veth pair instead,
# and kestrum-gateway serves that segment on 127.0.0.1: the window reaches the bus through
# real EtherCAT frames. PELVANE_SIM_OPTIONS adds options to the simulator (--plain: a
# controller of another make). Called by run.sh, inside a private network namespace where
# it can be.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
shots=${PELVANE_SHOTS:-screenshots}

log=$(mktemp)
gwlog=$(mktemp)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -f "$log" "$gwlog"' EXIT
await_line() {
    local file=$1 text=$2 pid=$3
    for _ in $(seq 50); do
        grep -q "$text" "$file" && return 0
        kill -0 "$pid" 2>/dev/null || { cat "$file" >&2; exit 1; }
        sleep 0.1
    done
    cat "$file" >&2
    exit 1
}

if [ "${PELVANE_SEGMENT:-0}" = 1 ]; then
    # Raw frames stay on this veth pair, made here inside the private namespace.
    source scripts/lib.sh
    pelvane_make_veth_pair
    "$build/sim/kestrum-sim" --bus sim/buses/demo.json --address 127.0.0.2 --no-discovery \
        --segment vseg0 >"$log" 2>&1 &
    pids+=($!)
    await_line "$log" "listening on" $!
    "$build/gateway/kestrum-gateway" --interface vgw0 --address 127.0.0.1 >"$gwlog" 2>&1 &
    pids+=($!)
    await_line "$gwlog" "serving vgw0" $!
    echo "segment: kestrum-sim on vseg0 (faults: its link on 127.0.0.2), gateway: $(head -n 1 "$gwlog")"
else
    # shellcheck disable=SC2086
    "$build/sim/kestrum-sim" --bus sim/buses/demo.json --address 127.0.0.1 \
        ${PELVANE_SIM_OPTIONS:-} >"$log" 2>&1 &
    pids+=($!)
    await_line "$log" "listening on" $!
    echo "simulator: $(tail -n 1 "$log")"
fi

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
