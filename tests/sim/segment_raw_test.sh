#!/usr/bin/env bash
# kestrum-sim --segment answers a broadcast read on a veth pair that exists only in a
# network namespace of this test's own, and never answers the frames it sends itself as a
# second master. Usage: segment_raw_test.sh SIM PROBE BUS NODES
set -euo pipefail
sim=$1 probe=$2 bus=$3 nodes=$4

source "$(dirname "$0")/../../scripts/lib.sh"
pelvane_veth_test "$@"

out=$(mktemp)
"$sim" --bus "$bus" --port 0 --no-discovery --segment vseg0 >"$out" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -f "$out"' EXIT
pelvane_await 10 grep -q "listening on" "$out" || { cat "$out"; exit 1; }

read -r wkc adp < <("$probe")
echo "BRD came back with WKC $wkc and ADP $adp"
[ "$wkc" -eq "$nodes" ] && [ "$adp" -eq "$nodes" ]

# An @SIM command over the link protocol, one link each: header, then the command text.
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$out")
sim_command() {
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf 'KQ\x01\x00\x01\x00\x00\x00\xe8\x03\x00\x00'"\\x$(printf %02x ${#1})"'\x00\x00\x00%s' \
        "$1" >&3
    timeout 5 head -c 20 <&3 | grep -qa OK || { echo "no OK to $1"; exit 1; }
    exec 3<&-
}

sim_command "@SIM SEGMENT_MASTER 1"
read -r seen answered unicast < <("$probe" watch "$nodes")
echo "second master: $seen frames seen, $answered answered by the segment, $unicast unicast"
[ "$seen" -gt 0 ] && [ "$answered" -eq 0 ] && [ "$unicast" -eq 0 ]

sim_command "@SIM SEGMENT_MASTER 1 unicast"
read -r seen answered unicast < <("$probe" watch "$nodes")
echo "unicast second master: $seen frames seen, $unicast of them unicast"
[ "$seen" -gt 0 ] && [ "$answered" -eq 0 ] && [ "$unicast" -eq "$seen" ]
