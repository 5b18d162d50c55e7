#!/usr/bin/env bash
# The Windows program under Wine on Xvfb against the Linux simulator with the demo bus,
# inside a private network namespace that holds only loopback. First the window's own
# test, in-process; then a smoke run of pelvane.exe driven by xdotool, judged from the
# simulator's log of received commands and from a screenshot; last the dialog layer's
# tests on a screen of 144 DPI.
#
#   e2e.sh [--screenshot FILE] [WINDOWS_BUILD [LINUX_BUILD]]
#
# WINDOWS_BUILD (default build/windows) holds pelvane.exe and the two Win32 test programs,
# LINUX_BUILD (default build/default) kestrum-sim.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/lib.sh

shot=""
if [ "${1:-}" = "--screenshot" ]; then
    shot=$(realpath -m "$2")
    shift 2
fi
windows=$(realpath "${1:-build/windows}")
linux=$(realpath "${2:-build/default}")

pelvane_enter_private_network ${shot:+--screenshot "$shot"} "$windows" "$linux"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

pelvane_wine_scratch
pelvane_wine_session "$work"

"$linux/sim/kestrum-sim" --bus sim/buses/demo.json --address 127.0.0.1 -vv \
    >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
pelvane_await 10 grep -q listening "$work/sim.out"

echo "== the window, in-process"
PELVANE_SIM_ADDRESS=127.0.0.1 wine "$windows/tests/app/win32/pelvane_app_win32_tests.exe" \
    >"$work/window-test.log" 2>&1 || { cat "$work/window-test.log"; fail "the window's test"; }
grep -E '^\[ *(PASSED|SKIPPED|FAILED) ' "$work/window-test.log"
grep -q SKIPPED "$work/window-test.log" && fail "the window's test skipped itself"

if ! bash tests/app/win32/smoke.sh "$windows/app/pelvane.exe" "$work"; then
    [ -n "$shot" ] && cp "$work/failure.png" "${shot%.png}-failure.png" 2>/dev/null
    fail "the smoke run of pelvane.exe"
fi
# Widths in pixels at 96 DPI, fonts and dialog units at the screen's: what ctest's run at
# 96 DPI cannot tell apart. Each new Wine session reads the setting.
echo "== the dialog layer at 144 DPI"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k
wineserver -w
wine "$windows/tests/ui/win32/pelvane_ui_win32_tests.exe" >"$work/ui-144.log" 2>&1 ||
    { cat "$work/ui-144.log"; fail "the dialog layer's tests at 144 DPI"; }
grep -E '^\[ *PASSED ' "$work/ui-144.log"

if [ -n "$shot" ]; then
    mkdir -p "$(dirname "$shot")"
    cp "$work/diagnosis.png" "$shot"
    echo "screenshot: $shot"
fi
echo "PASS"
