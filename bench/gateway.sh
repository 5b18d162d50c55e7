#!/usr/bin/env bash
# Runs bench_gateway on a veth pair made inside a network namespace of this script's own,
# so that no frame can reach any other interface. Needs root.
# Usage: gateway.sh BUILD_DIR [bench_gateway options], given to the 200-node runs
set -euo pipefail
build=${1:?usage: gateway.sh BUILD_DIR [options]}
shift
here=$(cd "$(dirname "$0")" && pwd)
program="$build/bench/bench_gateway"
[ -x "$program" ] || { echo "no $program: build the bench_gateway target" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "needs root for a network namespace and raw sockets" >&2; exit 2; }

source "$here/../scripts/lib.sh"
# Everything below runs in a fresh namespace: the veth pair exists only there.
pelvane_enter_veth_namespace "$build" "$@"
"$program" vseg0 vgw0 --bus "$here/../sim/buses/large.json" "$@"
"$program" vseg0 vgw0 --bus "$here/../sim/buses/demo.json" --recovery-only
# A simulator of its own: the runs above leave its EEPROM times and faults changed.
"$program" vseg0 vgw0 --bus "$here/../sim/buses/large.json" --loss-only "$@"
"$program" vseg0 vgw0 --mailbox-only
