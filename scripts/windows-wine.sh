#!/usr/bin/env bash
# The Windows build's Wine stage, inside the private network namespace scripts/windows.sh
# puts it in: a Wine prefix of its own, the Linux simulators the Windows tests reach over
# loopback, ctest under Wine and the snapshot comparison; with --bench also the figures.
# The prefix, the simulators and the wineserver are gone when it exits.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

if ! pelvane_only_loopback; then
    echo "the simulators and Wine need a private network: run scripts/windows.sh" >&2
    exit 2
fi
bench=false
[ "${1:-}" = --bench ] && bench=true

pelvane_wine_scratch

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The simulators the tests expect (sim_fixture.h, cli_test.cpp, the search tests): only the
# two with an empty bus answer searches.
serve() {
    local address=$1 bus=$2
    shift 2
    build/default/sim/kestrum-sim --bus "$bus" --address "$address" "$@" \
        >"$work/sim-$address.log" 2>&1 &
    pids+=($!)
    pelvane_await 10 grep -q "^listening on" "$work/sim-$address.log"
}
echo '{"nodes": []}' >"$work/empty.json"
serve 127.0.0.2 "$work/empty.json"
serve 127.0.0.3 "$work/empty.json"
serve 127.0.1.1 tests/kestrum/small_bus.json --no-discovery
serve 127.0.2.1 tests/kestrum/small_bus.json --no-discovery
# cli_test.cpp's: ours on 127.0.60.1 to .9, a controller of another make 20 above.
for host in 1 2; do
    serve 127.0.60.$host sim/buses/demo.json --no-discovery
    serve 127.0.60.$((host + 20)) sim/buses/demo.json --no-discovery --plain
done
for host in 3 4 5 6 7 9; do
    serve 127.0.60.$host tests/cli/quiet_bus.json --no-discovery
    serve 127.0.60.$((host + 20)) tests/cli/quiet_bus.json --no-discovery --plain
done

# The prefix is made before anything else runs in it; the dialog layer's tests need the
# display.
start=$(now_ms)
pelvane_wine_session "$work"
echo "Wine session ready in $(($(now_ms) - start)) ms"

echo "== tests under Wine"
start=$(now_ms)
status=0
ctest --preset windows -j "$(pelvane_jobs)" || status=$?
echo "Wine test stage: $(($(now_ms) - start)) ms"
[ $status -eq 0 ] || exit $status

echo "== snapshot of pelvane-cli.exe beside pelvane-cli's"
bash tests/cli/windows_snapshot.sh build/default build/windows

if $bench; then
    bash bench/windows.sh build/default build/windows
fi
