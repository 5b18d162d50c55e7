#!/usr/bin/env bash
# pelvane-exporter scraped by a real Prometheus server: a counter raised in the simulator
# shows in increase(pelvane_port_errors_total[1m]) for its node and register, fires the
# alert rule, and a stopped simulator turns pelvane_up to 0. With --plain the simulator is a
# controller of another make: every counter is served all the same.
# Usage: e2e.sh EXPORTER KESTRUM_SIM SIM_COMMAND SOURCE_DIR [--plain]
set -euo pipefail
exporter=$1 sim=$2 sim_command=$3 source=$4
make=(${5:-})
skip() { echo "SKIP: $*"; exit 77; }

command -v prometheus >/dev/null || skip "the prometheus package is not installed"
command -v promtool >/dev/null || skip "promtool (package prometheus) is not installed"
source "$source/scripts/lib.sh"
pelvane_only_loopback || skip "needs a private network namespace holding only loopback"

controller=127.0.71.1
source_in_use=bulk
[ ${#make[@]} -gt 0 ] && controller=127.0.71.2 && source_in_use=counters
prom=127.0.0.1:19790
pelvane_scratch

await() { pelvane_await "$@"; }

# Runs an instant query and prints each result as "labels value", one per line.
query() {
    curl -sf -G "http://$prom/api/v1/query" --data-urlencode "query=$1" | python3 -c '
import json, sys
for r in json.load(sys.stdin)["data"]["result"]:
    m = r["metric"]
    print(",".join(f"{k}={m[k]}" for k in sorted(m) if k in ("node", "register", "alertname")),
          r["value"][1])'
}
query_is() { [ "$(query "$1")" = "$2" ]; }
query_has() { query "$1" | grep -q "$2"; }

promtool check rules "$source/docs/prometheus/pelvane-alerts.yml"

"$sim" --bus "$source/sim/buses/demo.json" --address $controller --no-discovery "${make[@]}" \
    >"$work/sim.out" &
sim_pid=$!
pids+=("$sim_pid")
await 10 grep -q "listening on" "$work/sim.out"

"$exporter" --controller $controller --interval 0.2 --listen 127.0.0.1:0 >"$work/exporter.out" &
pids+=($!)
await 10 grep -q "listening on port" "$work/exporter.out"
exporter_port=$(sed -n 's/^listening on port \([0-9]*\)$/\1/p' "$work/exporter.out")

cp "$source/docs/prometheus/pelvane-alerts.yml" "$work/"
cat >"$work/prometheus.yml" <<CONFIG
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: [pelvane-alerts.yml]
scrape_configs:
  - job_name: pelvane
    static_configs:
      - targets: ["127.0.0.1:$exporter_port"]
CONFIG
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
    --web.listen-address=$prom --log.level=warn 2>"$work/prometheus.log" &
pids+=($!)
await 20 curl -sf "http://$prom/-/ready" -o /dev/null

# A baseline of a few scrapes, so that increase() has samples on both sides of the rise.
await 15 query_has 'count_over_time(pelvane_up[1m]) >= 3' .
for expected in 'count(pelvane_error_register) 32' 'pelvane_counters_unread 0' \
    "pelvane_register_source{source=\"$source_in_use\"} 1"; do
    query_is "${expected% *}" " ${expected##* }" || { echo "FAIL: $expected" >&2; exit 1; }
done
"$sim_command" $controller "@SIM SET 3 300H 40" >/dev/null

await 15 query_has 'increase(pelvane_port_errors_total{node="3",register="300H"}[1m]) > 0' .
# Only that register rose; node 6 sits behind the demo bus's flaky cable and rises anyway.
rising=$(query 'increase(pelvane_port_errors_total{node!="6"}[1m]) > 0' | cut -d' ' -f1)
[ "$rising" = "node=3,register=300H" ] || { echo "FAIL: rising: $rising" >&2; exit 1; }
await 15 query_has 'ALERTS{alertname="PelvanePortErrors",node="3"}' \
    'alertname=PelvanePortErrors,node=3,register=300H'

kill "$sim_pid"
await 15 query_is 'pelvane_up' " 0"
echo "PASS"
