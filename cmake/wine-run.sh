#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest. Wine's background processes would keep
# ctest's output pipe open for seconds after the program ends, so the program writes to
# files that are printed once it is done. The exit code is the program's.
set -u
# A prefix of the caller's, never one made in $HOME behind its back.
if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-run.sh: set WINEPREFIX to a Wine prefix (scripts/windows.sh makes one)" >&2
    exit 1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit $status
