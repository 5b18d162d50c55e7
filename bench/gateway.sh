#!/usr/bin/env bash
# Runs bench_gateway on a veth pair made inside a network namespace of this script's own,
# so that no frame can reach any other interface. Needs root.
# Usage: gateway.sh BUILD_DIR [bench_gateway options]
set -euo pipefail
build=${1:?usage: gateway.sh BUILD_DIR [options]}
shift
here=$(cd "$(dirname "$0")" && pwd)
program="$build/bench/bench_gateway"
[ -x "$program" ] || { echo "no $program: build the bench_gateway target" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "needs root for a network namespace and raw sockets" >&2; exit 2; }

# Everything below runs in a fresh namespace: the veth pair exists only there.
if [ -z "${PELVANE_BENCH_GATEWAY_NETNS:-}" ]; then
    exec unshare --net env PELVANE_BENCH_GATEWAY_NETNS=1 bash "$0" "$build" "$@"
fi
# Refuse a namespace this script did not just make: it would hold other interfaces.
others=$(ip -o link show | awk -F': ' '$2 != "lo" { print $2 }')
if [ -n "$others" ]; then
    echo "the namespace holds more than loopback; run without PELVANE_BENCH_GATEWAY_NETNS" >&2
    exit 2
fi
ip link set lo up
ip link add vseg0 type veth peer name vgw0
for link in vseg0 vgw0; do
    ip link set "$link" addrgenmode none
    ip link set "$link" up
done
"$program" vseg0 vgw0 --bus "$here/../sim/buses/large.json" "$@"
