#!/usr/bin/env bash
# The whole real path on a veth pair in a network namespace of this test's own: the
# emulated segment (demo bus) on one end, kestrum-gateway on the other, pelvane-cli on
# the gateway's link. tshark decodes every frame the gateway sent. The segment also plays
# a bad line: loss, late replies, a replaced drive, AL codes, an SII past its EEPROM.
# Usage: e2e.sh SIM GATEWAY CLI SIM_COMMAND PAGE_TESTS SOURCE_DIR
set -euo pipefail
sim=$1 gateway=$2 cli=$3 sim_command=$4 page_tests=$5 source=$6
skip() { echo "SKIP: $*"; exit 77; }

command -v tshark >/dev/null || skip "tshark is not installed"

source "$source/scripts/lib.sh"
# Everything below runs in a fresh namespace: the veth pair exists only there.
pelvane_veth_test "$@"

pelvane_scratch
fail() { echo "FAIL: $*" >&2; exit 1; }
await() { pelvane_await "$@" || exit 1; }

controller=127.0.0.2  # the simulator's own link, for @SIM faults
gw=127.0.0.1
ask() { "$sim_command" $gw "$1" | tr -d '\r'; }
sim() { "$sim_command" $controller "$1" >/dev/null; }
# tshark capturing the gateway's port into $work/$2.pcapng, then the bus file $1 served
# as the segment; both join pids.
serve_segment() {
    tshark -q -i vgw0 -f "ether proto 0x88a4" -w "$work/$2.pcapng" 2>"$work/$2-tshark.err" &
    pids+=($!)
    await 10 grep -q "Capturing on" "$work/$2-tshark.err"
    "$sim" --bus "$source/sim/buses/$1" --address $controller --no-discovery \
        --segment vseg0 >"$work/$2-sim.out" 2>&1 &
    pids+=($!)
    await 10 grep -q "listening on" "$work/$2-sim.out"
}
serve_segment demo.json gw
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
"$gateway" --interface vgw0 --address $gw --cycle 10 -v >"$work/gw.out" 2>&1 &
pids+=($!)
await 10 grep -q "serving vgw0" "$work/gw.out"
await 10 bash -c "[ \"\$('$cli' nodes $gw --format csv | wc -l)\" -eq 9 ]"
# Counters are served at once, identities as each node's SII is read.
# A vendor ID, or the reason it cannot be read; not the wait for it, nor no answer at all.
identities_served() {
    local reply
    reply=$("$sim_command" $gw "?NODE_INFO(0,$1,0)" | tr -d '\r\n')
    [[ $reply =~ ^-?[0-9]+$ || ($reply == "Error 3002: "* && $reply != *"not read yet") ]]
}
await 10 identities_served 7

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
# Runs pelvane-cli check through the gateway for a second, polling every $2 ms, into
# $work/$1 (shown), and leaves its exit code in code.
check_gateway() {
    set +e
    "$cli" check $gw --duration 1 --interval "$2" >"$work/$1"
    code=$?
    set -e
    cat "$work/$1"
}
"$sim_command" $controller "@SIM COUNTERS 3 1 40" >/dev/null
check_gateway check.out 50
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

echo "-- a bad line: loss never empties the bus, a late reply is no lost frame"
lost() { ask "?*ETHERCAT" | sed -n 's/^Lostcount:\([0-9]*\)\.$/\1/p'; }
sim "@SIM SEGMENT_LOSS 20"
losing=0
for _ in $(seq 40); do
    count=$(ask "?NODE_COUNT(0)")
    [ "$count" = 8 ] || fail "20 % loss served $count nodes, not 8"
    ask "?*ETHERCAT" | grep -q "^Line: losing frames ([0-9]* of [0-9]* in the last second)$" &&
        losing=$((losing + 1))
    sleep 0.05
done
[ $losing -gt 0 ] || fail "20 % loss never showed as losing frames"
sim "@SIM RESET"
sim "@SIM SEGMENT_DELAY 120 30"
sleep 1.2  # the frames lost before are counted, 500 ms after they were sent
lost_before=$(lost)
sleep 1.5
late=$(ask "?*ETHERCAT" | sed -n 's/^Late frames: \([0-9]*\)$/\1/p')
[ -n "$late" ] && [ "$late" -gt 0 ] || fail "replies held 120 ms were not counted late ($late)"
lost_after=$(lost)
[ "$lost_after" = "$lost_before" ] ||
    fail "late replies entered the lost count ($lost_before -> $lost_after, $late late)"
ask "?*ETHERCAT" | grep -B1 "^Line: " | head -n 1 | grep -q "^Late frames: " ||
    fail "Late frames is not the line before Line:"
echo "$late late frames, lost count steady at $lost_before"
sim "@SIM RESET"

echo "-- a drive replaced by a newer revision shows it, AL codes only with the error bit"
sim "@SIM SET 2 revision 7"
await 10 bash -c "[ \"\$('$sim_command' $gw '?NODE_INFO(0,2,2)' | tr -d '\r\n')\" = 7 ]"
sim "@SIM AL 1 OP 27"
sim "@SIM AL 3 SAFEOP 27 err"
sim "@SIM AL 4 PREOP 27 id"
await 5 bash -c "'$sim_command' $gw '?*ETHERCAT' | grep -q 'Node3: AL status code 001BH'"
ask "?*ETHERCAT" | grep -q "^Node[14]: AL status code" && fail "an AL code without the error bit, or a device ID, reported"

echo "-- a node replaced by one whose SII runs past its EEPROM: malformed, the walk bounded"
sim "@SIM SET 5 esc.eepromKbit 16"
sim "@SIM SET 5 esc.siiCategorySize 0x7000"
sim "@SIM SET 5 serial 4660"  # another node of the kind
await 10 bash -c "'$sim_command' $gw '?*ETHERCAT' | grep -q 'Node5: SII contents malformed'"
grep -q "sii: node 5: SII contents malformed: the category at word .* runs past the EEPROM's 1024 words" \
    "$work/gw.out" || fail "-v did not name the word"
sim "@SIM RESET"

# Every frame of the gateway's port address in capture $1 is well-formed EtherCAT whose only
# writes are APWR to 0502H-0507H, the CoE SDO upload requests tshark decodes in a node's
# SM0 (at 1000H and above, with a counter 1..7), and the one byte of 080EH; with $3 set
# also SyncManagers 0 and 1 and AL control. Prints how many EEPROM commands went out in
# the capture's last $2 seconds, once it is older than that.
check_frames() {
    local mac
    mac=$(ip -o link show vgw0 | sed -n 's/.*link\/ether \([0-9a-f:]*\).*/\1/p')
    tshark -r "$1" -T fields -E separator='|' -e frame.time_relative -e eth.src -e ecat.cmd \
        -e ecat.ado -e ecat.subframe.length -e _ws.malformed -e ecat_mailbox.type \
        -e ecat_mailbox.counter -e ecat_mailbox.coe.type -e ecat_mailbox.coe.sdoreq \
        -e ecat_mailbox.coe.sdoidx 2>/dev/null >"$work/frames.txt"
    python3 - "$work/frames.txt" "$mac" "$2" "${3:-}" <<'PY'
import sys
frames, mac, window = open(sys.argv[1]).read().splitlines(), sys.argv[2], float(sys.argv[3])
preop = sys.argv[4] == "preop"
first = int(mac[:2], 16) & ~0x03
ours = f"{first:02x}" + mac[2:]
sent, commands, requests, end = 0, [], 0, 0.0
for line in frames:
    at, src, cmds, ados, lens, malformed, types, counters, services, sdoreqs, idxs = line.split("|")
    assert not malformed, line
    end = max(end, float(at))
    if src != ours:
        continue
    sent += 1
    assert cmds, f"a frame of the gateway not decoded as EtherCAT: {line}"
    boxes = 0
    for cmd, ado, length in zip(cmds.split(","), ados.split(","), lens.split(",")):
        cmd, ado, length = int(cmd, 16), int(ado, 16), int(length)
        assert cmd in (1, 2, 4, 7), f"a command outside APRD, APWR, FPRD, BRD: {line}"
        if cmd != 2:
            continue
        if 0x502 <= ado and ado + length <= 0x508:
            commands.append(float(at))
        elif ado >= 0x1000:
            boxes += 1
        elif ado == 0x80E and length == 1:
            pass
        else:
            assert preop and (0x800 <= ado and ado + length <= 0x810 or (ado, length) == (0x120, 2)), \
                f"a write the gateway may not make: {line}"
    decoded = [v for v in (types, counters, services, sdoreqs) if v]
    assert boxes == 0 or all(len(v.split(",")) == boxes for v in decoded) and len(decoded) == 4, \
        f"a mailbox write tshark does not decode as a mailbox: {line}"
    if boxes:
        for kind, counter, service, sdoreq in zip(*(v.split(",") for v in decoded)):
            assert (int(kind, 0), int(service, 0), int(sdoreq, 0)) == (3, 2, 2), \
                f"a mailbox write that is no CoE SDO upload request: {line}"
            assert 1 <= int(counter, 0) <= 7, f"a mailbox counter outside 1..7: {line}"
        requests += boxes
assert sent > 100, f"only {sent} frames of the gateway captured"
print(f"{sent} frames of the gateway, all EtherCAT, none malformed, writes only APWR to "
      f"0502H-0507H, {requests} CoE SDO upload requests and the repeat toggle")
if window > 0:
    steady = sum(1 for at in commands if at > end - window)
    print(f"{steady / window:.1f} EEPROM commands a second over the last {window:.0f} s")
PY
}

echo "-- tshark: every frame the gateway sent is EtherCAT, none malformed, writes only those listed"
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
check_frames "$work/gw.pcapng" 0

echo "-- the line's states: each fault empties the served bus, each repair brings it back"
line_is() { ask "?*ETHERCAT" | grep -qx "Line: $1"; }
count_is() { [ "$(ask '?NODE_COUNT(0)')" = "$1" ]; }
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
break_and_mend "another master" 'sim "@SIM SEGMENT_MASTER 1 unicast"' 'sim "@SIM SEGMENT_MASTER 0"'
break_and_mend "port gone" 'ip link del vgw0' 'pelvane_make_veth_pair'

echo "-- check through the gateway on a dead line: a fault, never a clean bus"
sim "@SIM NODE_OFF 0 600000"
await 5 count_is 0
check_gateway dead.out 100
[ $code -eq 3 ] || fail "check of a dead line exited $code, not 3"
grep -q "verdict: no node answers" "$work/dead.out" || fail "check did not say that no node answers"
grep -q "bus clean" "$work/dead.out" && fail "check called a dead line clean"
sim "@SIM RESET"

echo "-- field.json on a port of MTU 1000: every identity, or why not"
kill "${pids[1]}" "${pids[2]}"
wait "${pids[1]}" "${pids[2]}" 2>/dev/null || true
ip link set vseg0 mtu 1000
ip link set vgw0 mtu 1000
serve_segment field.json field
"$gateway" --interface vgw0 --address $gw -v >"$work/gw-field.out" 2>&1 &
first=$!
pids+=($first)
await 10 grep -q "serving vgw0" "$work/gw-field.out"
await 5 grep -q "frames of at most 1014 bytes" "$work/gw-field.out"
set +e
"$gateway" --interface vgw0 --address 127.0.0.9 >"$work/second.out" 2>&1
code=$?
set -e
[ $code -eq 1 ] || fail "a second gateway on vgw0 exited $code, not 1"
grep -qx "kestrum-gateway: vgw0 is already served by another kestrum-gateway (pid $first)" \
    "$work/second.out" || fail "the second gateway said: $(cat "$work/second.out")"
# Served once every node is read or has its reason.
await 20 identities_served 9
"$cli" nodes $gw --format json >"$work/field.json"
ask "?*ETHERCAT" >"$work/field-report.txt"
cat "$work/field-report.txt"
python3 - "$work/field.json" "$source/sim/buses/field.json" "$work/field-report.txt" <<'PY'
import json, sys
served, bus = json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))["nodes"]
report = open(sys.argv[3]).read().splitlines()
assert len(served) == len(bus) == 10, len(served)
unread = {3: "SII held by the node's processor", 4: "SII held by the node's processor",
          6: "EEPROM not loaded"}
for i, (node, known) in enumerate(zip(served, bus)):
    if i in unread:
        assert node["vendorId"] is None and node["deviceId"] is None, (i, node)
        assert f"Node{i}: {unread[i]}" in report, (i, report)
    else:
        assert node["vendorId"] == int(known["vendorId"], 16), (i, node["vendorId"])
        assert node["deviceId"] == int(known["deviceId"], 16), (i, node["deviceId"])
assert "Node5: EEPROM checksum error" in report, report
assert "Node7: AL status code 001BH" in report, report
assert any(line.startswith("States:") and "SAFEOP+ERR 1" in line for line in report), report
print("identities as the bus file has them; unread ones null with their reasons in the report")
PY
echo "-- drives through their mailboxes: status words, and every fault with its reason"
sdo() { ask "SDO_READ(0,$1,$2,0,7,3)" || true; }
python3 - "$source/sim/buses/field.json" >"$work/drives.txt" <<'PY'
import json, sys
for i, node in enumerate(json.load(open(sys.argv[1]))["nodes"]):
    print(i, int(node.get("statusWord", "0"), 16), int("coe" in node))
PY
while read -r node word coe; do
    reply=$(sdo "$node" 24641)
    case $node in
    0 | 1 | 7 | 9)
        [ -z "$reply" ] && [ "$(ask "?TABLE(3)")" = "$word" ] ||
            fail "Node$node's status word: '$reply', table $(ask "?TABLE(3)"), not $word" ;;
    3 | 4) [ "$reply" = "Error 3001: Node$node's SII cannot be read (SII held by the node's processor): whether it speaks CoE is unknown" ] || fail "Node$node: $reply" ;;
    8) [ "$reply" = "Error 3001: Node8 is in INIT: its mailbox is off (the node was restarted; only a master taking it to PREOP opens it)" ] || fail "Node8: $reply" ;;
    *) [[ $reply == "Error 3001: "* ]] || fail "Node$node without CoE: '$reply'" ;;
    esac
done <"$work/drives.txt"
[ "$(sdo 0 24729)" = "Error 3001: SDO abort 06020000H (object does not exist)" ] ||
    fail "a missing object: $(sdo 0 24729)"
[ "$(sdo 9 4104)" = "Error 3001: 1008H:00 holds 123 bytes: a segmented transfer, which the gateway does not make" ] ||
    fail "a segmented object: $(sdo 9 4104)"
sim "@SIM EMERGENCY 1 0x8611"
await 5 bash -c "'$sim_command' $gw '?*ETHERCAT' | grep -q '^Node1: emergency 8611H reg 11H data 00 00 00 00 00'"
ask "?*ETHERCAT" | grep -qx "Node0: 6099H:00 SDO abort 06020000H (object does not exist)" ||
    fail "the report does not give the abort"
grep -q "mailbox: Node1: set aside" "$work/gw-field.out" || fail "Node1's stale reply was not set aside"
grep -q "mailbox: Node0: no answer to counter 1, asked again with the next" "$work/gw-field.out" ||
    fail "Node0's first request, repeating its previous master's counter, was not asked again"
sim "@SIM SET 0 statusWord 0x0218"
await 2 bash -c "[ \"\$('$sim_command' $gw 'SDO_READ(0,0,24641,0,7,3)' >/dev/null; '$sim_command' $gw '?TABLE(3)' | tr -d '\r\n')\" = 536 ]"
echo "status words of Nodes 0, 1, 7 and 9 through their mailboxes; reasons for the rest"

echo "-- a steady line: the EEPROM is hardly touched"
sleep 4
kill "${pids[-3]}"
wait "${pids[-3]}" 2>/dev/null || true
check_frames "$work/field.pcapng" 3 | tee "$work/field-frames.txt"
rate=$(sed -n 's/^\([0-9.]*\) EEPROM commands a second.*/\1/p' "$work/field-frames.txt")
python3 -c "import sys; sys.exit(0 if float('$rate') <= 10 else 1)" ||
    fail "$rate EEPROM commands a second on a steady line"

echo "-- --preop: a drive found in INIT is taken to PREOP, and back to INIT on exit"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
tshark -q -i vgw0 -f "ether proto 0x88a4" -w "$work/preop.pcapng" 2>"$work/preop-tshark.err" &
pids+=($!)
await 10 grep -q "Capturing on" "$work/preop-tshark.err"
"$gateway" --interface vgw0 --address $gw --preop -v >"$work/gw-preop.out" 2>&1 &
preop=$!
pids+=($preop)
await 10 grep -q "serving vgw0" "$work/gw-preop.out"
await 10 grep -q "preop: Node8 is in PREOP" "$work/gw-preop.out"
ask "?*ETHERCAT" | head -n 1 | grep -qx "EtherCAT gateway: reads registers and SII, asks drives through their mailboxes, takes nodes found in INIT to PREOP." ||
    fail "the report's first line: $(ask "?*ETHERCAT" | head -n 1)"
[ -z "$(sdo 8 24641)" ] && [ "$(ask "?TABLE(3)")" = 4663 ] || fail "Node8 raised: $(sdo 8 24641)"
kill "$preop"
wait "$preop" 2>/dev/null || true
sleep 0.5
kill "${pids[-2]}"
wait "${pids[-2]}" 2>/dev/null || true
check_frames "$work/preop.pcapng" 0 preop
"$gateway" --interface vgw0 --address $gw >"$work/gw-after.out" 2>&1 &
pids+=($!)
await 10 grep -q "serving vgw0" "$work/gw-after.out"
in_init() { [[ "$(sdo 8 24641)" == "Error 3001: Node8 is in INIT"* ]]; }
await 10 in_init
echo "Node8 raised to PREOP and its status word read; back in INIT after the gateway stopped"
echo "PASS"
