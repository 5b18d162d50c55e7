#!/usr/bin/env bash
# pelvane.exe driven by xdotool as a user would: type the address and press Enter, open
# the diagnosis tab, disconnect, press Escape. Judged from the simulator's log of
# received commands ($work/sim.log) and a screenshot ($work/diagnosis.png). Runs in the
# namespace, display and prefix that e2e.sh made.
#
#   smoke.sh PELVANE_EXE WORK
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/lib.sh
exe=$1
work=$2
log=$work/sim.log

# Pixels from the window's top-left corner, as the dialog units come out with the fonts
# that e2e.sh pins.
address=(120 58)
diagnosisTab=(133 102)
disconnect=(390 59)

fail() {
    echo "FAIL: $*" >&2
    import -window root "$work/failure.png" 2>/dev/null || true
    exit 1
}

# Only what this run makes the simulator receive.
since=$(wc -l <"$log")
received() { tail -n +$((since + 1)) "$log"; }
count() { received | grep -cF -- "$1" || true; }
has() { [ "$(count "$1")" -ge "${2:-1}" ]; }
titled() { xdotool search --name "$1" >/dev/null 2>&1; }

echo "== pelvane.exe"
wine "$exe" >"$work/pelvane.log" 2>&1 &
app=$!
pelvane_await 20 titled '^Pelvane$'
win=$(xdotool search --name '^Pelvane$' | head -n 1)
# Mapped is not yet ready for input.
sleep 1
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }

click "${address[@]}"
xdotool type --delay 20 127.0.0.1
xdotool key Return
pelvane_await 10 titled '已链接'
pelvane_await 10 has '?NODE_COUNT(0)'
has '?CONTROL' || fail "no identity query"
echo "connected: $(count '?NODE_AXIS_COUNT(0,') node queries on tab 0"

click "${diagnosisTab[@]}"
polls=$(count 'SDO_READ(0,0,')
pelvane_await 10 has 'SDO_READ(0,0,' $((polls + 3))
sleep 0.5
import -window "$win" "$work/diagnosis.png"
red=$(convert "$work/diagnosis.png" -format %c histogram:info:- |
    awk '/#FF0000 /{gsub(":", "", $1); print $1}')
echo "diagnosis: $(count 'SDO_READ(0,0,') polls, ${red:-0} red pixels"
[ "${red:-0}" -gt 2000 ] || fail "no red row on the diagnosis tab"

click "${disconnect[@]}"
pelvane_await 10 titled '未链接'
pelvane_await 10 has 'closed'
sleep 1
after=$(received | sed -n '/closed/,$p' | grep -c ': [?A-Z@]' || true)
[ "$after" -eq 0 ] || fail "$after commands after the disconnect"
echo "disconnected: the link closed and nothing was sent after"

xdotool key Escape
pelvane_await 10 bash -c "! kill -0 $app 2>/dev/null"
echo "Escape closed the window"
