#!/usr/bin/env bash
# CPU time pelvane-cli watch spends over SECONDS (default 60) on the 200-node bus,
# against kestrum-sim on loopback, inside a private network namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
build=${BUILD:-build/default}
seconds=${SECONDS_TO_WATCH:-60}

measure() {
    "$build/sim/kestrum-sim" --bus sim/buses/large.json --address 127.0.62.2 >/dev/null &
    local sim=$!
    sleep 0.5
    "$build/cli/pelvane-cli" watch 127.0.62.2 >/dev/null &
    local cli=$!
    sleep "$seconds"
    # utime and stime of the watch, in clock ticks, before Ctrl-C ends it.
    local ticks
    ticks=$(awk '{print $14 + $15}' "/proc/$cli/stat")
    kill -INT "$cli"
    wait "$cli" || true
    kill "$sim"
    wait "$sim" || true
    awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
        'BEGIN { printf "pelvane-cli watch: %.2f s CPU in %d s (%.2f%% of one core)\n", t / hz, s, 100 * t / hz / s }'
}

export -f measure
export build seconds
pelvane_in_private_network bash -c measure
