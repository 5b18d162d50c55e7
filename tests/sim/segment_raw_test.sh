#!/usr/bin/env bash
# kestrum-sim --segment answers a broadcast read on a veth pair that exists only in a
# network namespace of this test's own. Usage: segment_raw_test.sh SIM PROBE BUS NODES
set -euo pipefail
sim=$1 probe=$2 bus=$3 nodes=$4
skip() { echo "SKIP: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "needs root for a network namespace and raw sockets"
command -v unshare >/dev/null || skip "unshare is not installed"
unshare --net true 2>/dev/null || skip "cannot make a network namespace here"

source "$(dirname "$0")/../../scripts/lib.sh"
pelvane_enter_veth_namespace "$@"

out=$(mktemp)
"$sim" --bus "$bus" --port 0 --no-discovery --segment vseg0 >"$out" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -f "$out"' EXIT
pelvane_await 10 grep -q "listening on" "$out" || { cat "$out"; exit 1; }

read -r wkc adp < <("$probe")
echo "BRD came back with WKC $wkc and ADP $adp"
[ "$wkc" -eq "$nodes" ] && [ "$adp" -eq "$nodes" ]
