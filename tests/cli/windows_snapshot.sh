#!/usr/bin/env bash
# pelvane-cli.exe under Wine writes the same snapshot of the demo bus as the Linux
# pelvane-cli, all but the time. Arguments: the Linux and the Windows build folders. Needs a
# private network and WINEPREFIX (scripts/windows-wine.sh gives both).
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
cd "$(dirname "$0")/../.."
source scripts/lib.sh
pelvane_scratch

# The flaky cable's counters would rise between the two snapshots: the demo bus without it.
python3 - sim/buses/demo.json >"$work/demo.json" <<'PY'
import json, sys
bus = json.load(open(sys.argv[1], encoding="utf-8"))
for node in bus["nodes"]:
    node.pop("counterRate", None)
json.dump(bus, sys.stdout)
PY
"$linux/sim/kestrum-sim" --bus "$work/demo.json" --address 127.0.70.1 --no-discovery \
    >"$work/sim.log" 2>&1 &
pids+=($!)
pelvane_await 10 grep -q "^listening on" "$work/sim.log"

"$linux/cli/pelvane-cli" snapshot 127.0.70.1 -o "$work/linux.json"
# Written twice: the second must replace the first.
for _ in 1 2; do
    cmake/wine-run.sh "$windows/cli/pelvane-cli.exe" snapshot 127.0.70.1 \
        -o "$(winepath -w "$work/windows.json")"
done
python3 - "$work/linux.json" "$work/windows.json" <<'PY'
import json, sys
linux, windows = (json.load(open(path, encoding="utf-8")) for path in sys.argv[1:])
for snapshot in (linux, windows):
    snapshot.pop("time")
if linux != windows:
    print("FAIL: the snapshots differ\nLinux:  ", linux, "\nWindows:", windows)
    sys.exit(1)
print(f"same snapshot from both, time aside: {len(linux['nodes'])} nodes")
PY
