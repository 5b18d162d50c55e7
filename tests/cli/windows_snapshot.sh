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
# Ours, and a controller of another make that knows only the window's commands.
for make in ours plain; do
    address=127.0.70.1
    extra=()
    [ $make = plain ] && address=127.0.70.2 && extra=(--plain)
    "$linux/sim/kestrum-sim" --bus "$work/demo.json" --address $address --no-discovery \
        "${extra[@]}" >"$work/sim-$make.log" 2>&1 &
    pids+=($!)
    pelvane_await 10 grep -q "^listening on" "$work/sim-$make.log"

    "$linux/cli/pelvane-cli" snapshot $address -o "$work/linux-$make.json"
    # Written twice: the second must replace the first.
    for _ in 1 2; do
        cmake/wine-run.sh "$windows/cli/pelvane-cli.exe" snapshot $address \
            -o "$(winepath -w "$work/windows-$make.json")"
    done
    python3 - "$make" "$work/linux-$make.json" "$work/windows-$make.json" <<'PY'
import json, sys
make = sys.argv[1]
linux, windows = (json.load(open(path, encoding="utf-8")) for path in sys.argv[2:])
for snapshot in (linux, windows):
    snapshot.pop("time")
if linux != windows:
    print(f"FAIL ({make}): the snapshots differ\nLinux:  ", linux, "\nWindows:", windows)
    sys.exit(1)
unread = [n["node"] for n in windows["nodes"]
          if any(n["counters"][r] is None for r in ("300H", "301H", "302H", "303H"))]
if unread:
    print(f"FAIL ({make}): counters 300H..303H unread on nodes {unread}")
    sys.exit(1)
print(f"same snapshot from both ({make}), time aside, every counter read: "
      f"{len(linux['nodes'])} nodes")
PY
done
