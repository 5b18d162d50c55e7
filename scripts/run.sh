#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulator with the demo bus and
# opens Pelvane against it. Without a display it runs under Xvfb, connects to
# the simulator by itself and saves screenshots instead.
# With --segment the bus is reached the real way: the simulator emulates it as an
# EtherCAT segment on a veth pair and kestrum-gateway serves that segment (needs root).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

segment=0
[ "${1:-}" = "--segment" ] && segment=1
pelvane_install_packages
cmake --preset default >/dev/null
cmake --build --preset default -j "$(pelvane_jobs)" --target pelvane kestrum-sim kestrum-gateway

if [ $segment = 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "--segment needs root: a veth pair and raw sockets" >&2; exit 1; }
    # Always a fresh namespace: the veth pair must never exist outside it.
    PELVANE_SEGMENT=1 pelvane_unshare_net bash -c 'ip link set lo up && exec bash scripts/demo-session.sh'
    exit $?
fi
if [ "$(id -u)" -ne 0 ] && ! pelvane_only_loopback; then
    echo "note: not root, so the network search of this run is not confined to loopback" >&2
    exec bash scripts/demo-session.sh
fi
pelvane_in_private_network bash scripts/demo-session.sh
