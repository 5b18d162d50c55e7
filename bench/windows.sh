#!/usr/bin/env bash
# The Windows build's figures beside the Linux build's, both against the same kestrum-sim on
# loopback, in alternating runs: KST_Execute's round trip, and the window's poll of the
# 200-node bus. Arguments: the Linux and the Windows build folders. Needs a private network
# and WINEPREFIX: scripts/windows.sh --bench runs it so.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
cd "$(dirname "$0")/.."
source scripts/lib.sh
pelvane_scratch

serve() {
    "$linux/sim/kestrum-sim" --bus "$2" --address "$1" --no-discovery >"$work/sim-$1.log" 2>&1 &
    pids+=($!)
    pelvane_await 10 grep -q "^listening on" "$work/sim-$1.log"
}
serve 127.0.80.1 tests/kestrum/small_bus.json
serve 127.0.80.2 sim/buses/large.json

# Each run prints one line; its median goes to $work/<name>.
measure() {
    local name=$1
    shift
    local line
    line=$("$@")
    echo "  $name: $line"
    echo "$line" | sed -E 's/.*median ([0-9.]+).*/\1/' >>"$work/$name"
}
for run in 1 2 3; do
    echo "run $run"
    measure linux-roundtrip "$linux/bench/bench_remote_roundtrip" 127.0.80.1
    measure wine-roundtrip cmake/wine-run.sh "$windows/bench/bench_remote_roundtrip.exe" 127.0.80.1
    measure linux-poll "$linux/bench/bench_remote_poll" 127.0.80.2
    measure wine-poll cmake/wine-run.sh "$windows/bench/bench_remote_poll.exe" 127.0.80.2
done

python3 - "$work" <<'PY'
import pathlib, statistics, sys
work = pathlib.Path(sys.argv[1])
def median(name):
    return statistics.median(float(v) for v in (work / name).read_text().split())
for what, unit in (("roundtrip", "us"), ("poll", "ms")):
    linux, wine = median(f"linux-{what}"), median(f"wine-{what}")
    print(f"{what:9} median of 3 runs: Linux {linux:8.2f} {unit}   Wine {wine:8.2f} {unit}"
          f"   Wine / Linux {wine / linux:5.2f}")
PY
