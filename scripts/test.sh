#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer build with
# warnings as errors, and runs every test inside a private network namespace.
# FUZZ_SECONDS (default 20) sets how long each fuzz target runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

pelvane_install_packages

run_preset() {
    local preset=$1
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(pelvane_jobs)"
    echo "== $preset tests"
    pelvane_in_private_network ctest --preset "$preset" -j "$(pelvane_jobs)"
}

run_preset default
run_preset asan

echo "== fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(pelvane_jobs)" --target fuzzers
for target in build/fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=fuzz/corpus/${name#fuzz_}
    work=$(mktemp -d)
    cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "-- $name for ${FUZZ_SECONDS:-20}s"
    "$target" -max_total_time="${FUZZ_SECONDS:-20}" -print_final_stats=1 "$work" 2>&1 | tail -n 4
    rm -rf "$work"
done
echo "== all tests passed"
