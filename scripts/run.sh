#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulator with the demo bus and
# opens Pelvane against it. Without a display it runs under Xvfb, connects to
# the simulator by itself and saves screenshots instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

pelvane_install_packages
cmake --preset default >/dev/null
cmake --build --preset default -j "$(pelvane_jobs)" --target pelvane kestrum-sim

if [ "$(id -u)" -ne 0 ] && ! pelvane_only_loopback; then
    echo "note: not root, so the network search of this run is not confined to loopback" >&2
    exec bash scripts/demo-session.sh
fi
pelvane_in_private_network bash scripts/demo-session.sh
