#!/usr/bin/env bash
# The whole real path on a veth pair in a network namespace of this test's own: the
# emulated segment (demo bus) on one end, kestrum-gateway on the other, pelvane-cli on
# the gateway's link. tshark decodes every frame the gateway sent.
# Usage: e2e.sh SIM GATEWAY CLI SIM_COMMAND PAGE_TESTS SOURCE_DIR
set -euo pipefail
sim=$1 gateway=$2 cli=$3 sim_command=$4 page_tests=$5 source=$6
skip() { echo "SKIP: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "needs root for a network namespace and raw sockets"
command -v tshark >/dev/null || skip "tshark is not installed"
command -v unshare >/dev/null || skip "unshare is not installed"

source "$source/scripts/lib.sh"
# Everything below runs in a fresh namespace: the veth pair exists only there.
pelvane_enter_veth_namespace "$@"

pelvane_scratch
fail() { echo "FAIL: $*" >&2; exit 1; }
await() { pelvane_await "$@" || exit 1; }

controller=127.0.0.2  # the simulator's own link, for @SIM faults
gw=127.0.0.1
tshark -q -i vgw0 -f "ether proto 0x88a4" -w "$work/gw.pcapng" 2>"$work/tshark.err" &
pids+=($!)
await 10 grep -q "Capturing on" "$work/tshark.err"
"$sim" --bus "$source/sim/buses/demo.json" --address $controller --no-discovery \
    --segment vseg0 >"$work/sim.out" 2>&1 &
pids+=($!)
await 10 grep -q "listening on" "$work/sim.out"
"$sim_command" $controller "@SIM COUNTERS 6 1 0" >/dev/null  # a quiet line to start from
echo "-- refusals: a missing port, a port that carries an IPv4 address"
for port in nothere0 lo; do
    set +e
    "$gateway" --interface $port >"$work/refused.out" 2>&1
    code=$?
    set -e
    [ $code -eq 2 ] || fail "the gateway took $port (exit $code)"
done
grep -q "carries an IPv4 address" "$work/refused.out" || fail "no reason given for lo"
"$gateway" --interface vgw0 --address $gw --cycle 10 >"$work/gw.out" 2>&1 &
pids+=($!)
await 10 grep -q "serving vgw0" "$work/gw.out"
await 10 bash -c "[ \"\$('$cli' nodes $gw --format csv | wc -l)\" -eq 9 ]"

echo "-- nodes: the bus file's identities, switches, axes and I/O counts"
"$cli" nodes $gw --format json >"$work/gw.json"
"$cli" nodes $controller --format json >"$work/sim.json"
python3 - "$work/gw.json" "$work/sim.json" <<'PY'
import json, sys
gw, sim = (json.load(open(p)) for p in sys.argv[1:3])
assert len(gw) == len(sim) == 8, (len(gw), len(sim))
for g, s in zip(gw, sim):
    for key in ("vendorId", "deviceId", "switchNo", "axes"):
        assert g[key] == s[key], (g["node"], key, g[key], s[key])
    for key in ("inputs", "outputs", "ad", "da"):
        assert g[key]["count"] == s[key]["count"], (g["node"], key, g[key], s[key])
PY

echo "-- check: a counter raised on the segment names its cable"
"$sim_command" $controller "@SIM COUNTERS 3 1 40" >/dev/null
set +e
"$cli" check $gw --duration 1 --interval 50 >"$work/check.out"
code=$?
set -e
cat "$work/check.out"
[ $code -eq 3 ] || fail "check exited $code, not 3"
grep -q "verdict: cable between Node3 and Node4, seen by Node3 port 2" "$work/check.out" ||
    fail "the verdict names another cable"
"$sim_command" $controller "@SIM RESET" >/dev/null

echo "-- the window's pages against the gateway show the simulator's rows"
PELVANE_GATEWAY=$gw PELVANE_GATEWAY_SIM=$controller QT_QPA_PLATFORM=offscreen \
    "$page_tests" --gtest_filter='PagesAgainstGateway.*' --gtest_also_run_disabled_tests

echo "-- a node switched off ends the list"
"$sim_command" $controller "@SIM NODE_OFF 5 60000" >/dev/null
await 5 bash -c "[ \"\$('$cli' nodes $gw --format csv | wc -l)\" -eq 6 ]"

echo "-- frame loss on the segment raises the lost count"
"$sim_command" $controller "@SIM RESET" >/dev/null
before=$("$cli" snapshot $gw | python3 -c 'import json,sys; print(json.load(sys.stdin)["lostcountText"])')
"$sim_command" $controller "@SIM SEGMENT_LOSS 30" >/dev/null
sleep 1
after=$("$cli" snapshot $gw | python3 -c 'import json,sys; print(json.load(sys.stdin)["lostcountText"])')
echo "$before -> $after"
[ "${after#Lostcount:}" -gt "${before#Lostcount:}" ] || fail "the lost count did not rise"
"$sim_command" $controller "@SIM RESET" >/dev/null

echo "-- tshark: every frame the gateway sent is EtherCAT, none malformed, writes only 0502H-0507H"
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
mac=$(ip -o link show vgw0 | sed -n 's/.*link\/ether \([0-9a-f:]*\).*/\1/p')
tshark -r "$work/gw.pcapng" -T fields -E separator='|' -e eth.src -e ecat.cmd -e ecat.ado \
    -e ecat.subframe.length -e _ws.malformed 2>/dev/null >"$work/frames.txt"
python3 - "$work/frames.txt" "$mac" <<'PY'
import sys
frames, mac = open(sys.argv[1]).read().splitlines(), sys.argv[2]
first = int(mac[:2], 16) & ~0x03
ours = f"{first:02x}" + mac[2:]
writes = {2, 3, 5, 6, 8, 9, 11, 12, 13, 14}
sent = 0
for line in frames:
    src, cmds, ados, lens, malformed = line.split("|")
    assert not malformed, line
    if src != ours:
        continue
    sent += 1
    assert cmds, f"a frame of the gateway not decoded as EtherCAT: {line}"
    for cmd, ado, length in zip(cmds.split(","), ados.split(","), lens.split(",")):
        cmd, ado, length = int(cmd, 16), int(ado, 16), int(length)
        if cmd in writes:
            assert 0x502 <= ado and ado + length <= 0x508, f"a write outside 0502H-0507H: {line}"
assert sent > 100, f"only {sent} frames of the gateway captured"
print(f"{sent} frames of the gateway, all EtherCAT, none malformed, writes only to the EEPROM interface")
PY

echo "-- the line's states: each fault empties the served bus, each repair brings it back"
ask() { "$sim_command" $gw "$1" | tr -d '\r'; }
line_is() { ask "?*ETHERCAT" | grep -qx "Line: $1"; }
count_is() { [ "$(ask '?NODE_COUNT(0)')" = "$1" ]; }
sim() { "$sim_command" $controller "$1" >/dev/null; }
now_ms() { date +%s%3N; }
sent_frames() { ip -s -j link show vgw0 | python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["stats64"]["tx"]["packets"])'; }
# Runs the fault, waits for its state and an empty bus, runs the repair, waits for the
# whole line and "up"; says how long each took (the limits are generous: no timing test).
break_and_mend() {
    local state=$1 fault=$2 mend=$3 start emptied
    start=$(now_ms)
    eval "$fault"
    await 5 line_is "$state"
    await 5 count_is 0
    emptied=$(($(now_ms) - start))
    [ "$state" = "another master" ] && held_back
    start=$(now_ms)
    eval "$mend"
    await 15 count_is 8
    await 2 line_is up
    echo "$state ($fault): empty bus after ${emptied} ms, 8 nodes again $(($(now_ms) - start)) ms after the repair"
}
# While another master's frames come, the gateway sends nothing at all.
held_back() {
    local before
    before=$(sent_frames)
    sleep 1
    [ "$(sent_frames)" = "$before" ] || fail "the gateway sent frames beside another master"
}
await 5 line_is up
break_and_mend "no reply" 'sim "@SIM NODE_OFF 0 600000"' 'sim "@SIM RESET"'
break_and_mend "no link" 'ip link set vseg0 down' 'ip link set vseg0 up'
break_and_mend "no link" 'ip link set vgw0 down' 'ip link set vgw0 up'
break_and_mend "circulating" 'sim "@SIM SEGMENT_CIRCULATING 1"' 'sim "@SIM SEGMENT_CIRCULATING 0"'
break_and_mend "another master" 'sim "@SIM SEGMENT_MASTER 1"' 'sim "@SIM SEGMENT_MASTER 0"'
break_and_mend "port gone" 'ip link del vgw0' 'pelvane_make_veth_pair'

echo "-- check through the gateway on a dead line: a fault, never a clean bus"
sim "@SIM NODE_OFF 0 600000"
await 5 count_is 0
set +e
"$cli" check $gw --duration 1 --interval 100 >"$work/dead.out"
code=$?
set -e
cat "$work/dead.out"
[ $code -eq 3 ] || fail "check of a dead line exited $code, not 3"
grep -q "verdict: no node answers" "$work/dead.out" || fail "check did not say that no node answers"
grep -q "bus clean" "$work/dead.out" && fail "check called a dead line clean"
sim "@SIM RESET"
echo "PASS"
