#!/usr/bin/env bash
# CPU time and memory of pelvane-exporter over SECONDS (default 60) of polling, with
# COUNT simulators (127.0.0.2 and up) of NODES nodes each, taken from large.json, and
# the time of one /metrics scrape. Run inside a private network namespace.
# Usage: exporter_load.sh BUILD_DIR COUNT NODES [SECONDS]
set -euo pipefail
build=$1 count=$2 nodes=$3 seconds=${4:-60}
source "$(dirname "$0")/../scripts/lib.sh"
pelvane_only_loopback || { echo "run inside a private network namespace" >&2; exit 2; }
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

python3 - "$(dirname "$0")/../sim/buses/large.json" "$nodes" >"$work/bus.json" <<'PY'
import json, sys
bus = json.load(open(sys.argv[1]))
bus["nodes"] = bus["nodes"][: int(sys.argv[2])]
json.dump(bus, sys.stdout)
PY
args=()
for i in $(seq 2 $((count + 1))); do
    "$build/sim/kestrum-sim" --bus "$work/bus.json" --address "127.0.0.$i" --no-discovery \
        >"$work/sim$i.out" &
    pids+=($!)
    args+=(--controller "127.0.0.$i")
done
for i in $(seq 2 $((count + 1))); do
    for _ in $(seq 50); do grep -q listening "$work/sim$i.out" && break; sleep 0.1; done
done
"$build/exporter/pelvane-exporter" "${args[@]}" --listen 127.0.0.1:19810 >"$work/exporter.out" &
exporter=$!
pids+=("$exporter")
sleep 3  # linking and the first polls
ticks() { awk '{print $14 + $15}' "/proc/$exporter/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "controllers $count x $nodes nodes, ${seconds}s:" \
    "CPU $(awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%.2f", 100 * t / hz / s }')%," \
    "$(grep -E 'VmRSS|VmHWM' "/proc/$exporter/status" | tr -s ' \t' ' ' | tr '\n' ' ')"
curl -s -o "$work/metrics" -w "scrape: %{time_total} s, " http://127.0.0.1:19810/metrics
echo "$(wc -c <"$work/metrics") bytes, up: $(grep -c '^pelvane_up{.*} 1' "$work/metrics")"
