#!/usr/bin/env bash
# pelvane-cli check through kestrum-gateway on the plant's tree: the emulated segment on
# one end of a veth pair in a network namespace of this test's own, the gateway on the
# other, faults set on the simulator's own link.
# Usage: tree_e2e.sh SIM GATEWAY CLI SIM_COMMAND SOURCE_DIR
set -euo pipefail
sim=$1 gateway=$2 cli=$3 sim_command=$4 source=$5

source "$source/scripts/lib.sh"
pelvane_veth_test "$@"

pelvane_scratch
fail() { echo "FAIL: $*" >&2; exit 1; }
await() { pelvane_await "$@" || exit 1; }

controller=127.0.0.2  # the simulator's own link, for @SIM faults
gw=127.0.0.1
"$sim" --bus "$source/sim/buses/plant.json" --address $controller --no-discovery \
    --segment vseg0 >"$work/sim.out" 2>&1 &
pids+=($!)
await 10 grep -q "listening on" "$work/sim.out"
"$gateway" --interface vgw0 --address $gw --cycle 10 >"$work/gw.out" 2>&1 &
pids+=($!)
await 10 grep -q "serving vgw0" "$work/gw.out"
await 10 bash -c "[ \"\$('$cli' nodes $gw --format csv | wc -l)\" -eq 21 ]"

# Runs check through the gateway with fault $2 set before it and fault $3 half a second
# into it (after its first poll: a one-off event is judged from there); the verdict line
# must hold each of the texts after those. Mends the faults afterwards; counters stay.
check_fault() {
    local name=$1 before=$2 during=$3 code
    shift 3
    [ -z "$before" ] || "$sim_command" $controller "$before" >/dev/null
    set +e
    "$cli" check $gw --duration 1.5 --interval 100 >"$work/$name.out" &
    local check=$!
    sleep 0.5
    [ -z "$during" ] || "$sim_command" $controller "$during" >/dev/null
    wait $check
    code=$?
    set -e
    "$sim_command" $controller "@SIM RESET" >/dev/null
    echo "-- $before$during"
    cat "$work/$name.out"
    [ $code -eq 3 ] || fail "check exited $code, not 3"
    local verdict
    verdict=$(grep "^verdict: " "$work/$name.out") || fail "no verdict"
    for part in "$@"; do
        [[ $verdict == *"$part"* ]] || fail "the verdict lacks: $part"
    done
}
check_fault cable "@SIM CABLE 9 20" "" \
    "cable between Node8 and Node9, seen by Node8 port 4 (306H +" ") and Node9 port 1 (300H +"
check_fault flap "" "@SIM LINK_FLAP 8 4 3" \
    "Node8 port 4 lost its link 3 times" "Node9 port 1 lost its link 3 times"
echo "PASS"
