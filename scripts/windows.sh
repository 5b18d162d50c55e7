#!/usr/bin/env bash
# Pelvane for 64-bit Windows: installs MinGW-w64 and Wine if missing, cross-builds the
# windows preset, runs its tests under Wine against Linux simulators on loopback and
# compares pelvane-cli.exe's snapshot with the Linux one (scripts/windows-wine.sh, in a
# private network), runs pelvane.exe against the simulator (tests/app/win32/e2e.sh), then
# packs build/windows/pelvane-windows-x64.zip. As root.
# --bench also prints the Windows figures beside the Linux ones.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

bench=()
case "${1:-}" in
    "") ;;
    --bench) bench=(--bench) ;;
    *)
        echo "usage: $0 [--bench]" >&2
        exit 2
        ;;
esac

pelvane_install_packages
pelvane_install_packages "${PELVANE_WINDOWS_PACKAGES[@]}"
now_ms() { echo $(($(date +%s%N) / 1000000)); }

echo "== Linux programs the Windows build is tested against"
linux_targets=(kestrum-sim pelvane-cli)
[ ${#bench[@]} -gt 0 ] && linux_targets+=(bench_remote_roundtrip bench_remote_poll)
cmake --preset default >/dev/null
cmake --build --preset default -j "$(pelvane_jobs)" --target "${linux_targets[@]}"

echo "== windows build"
start=$(now_ms)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(pelvane_jobs)"
build_ms=$(($(now_ms) - start))

pelvane_in_private_network bash scripts/windows-wine.sh "${bench[@]}"
echo "== pelvane.exe against the simulator"
bash tests/app/win32/e2e.sh build/windows build/default

echo "== package"
package=build/windows/pelvane-windows-x64
rm -rf "$package" "$package.zip"
mkdir -p "$package"
programs=(build/windows/app/pelvane.exe build/windows/cli/pelvane-cli.exe
          build/windows/kestrum/kestrum.dll)
for program in "${programs[@]}"; do
    x86_64-w64-mingw32-strip -o "$package/$(basename "$program")" "$program"
done
cp build/windows/kestrum/libkestrum.dll.a build/windows/kestrum/kestrum.def \
    kestrum/include/kestrum.h "$package/"
python3 - "$package" packaging/windows/README.txt <<'PY'
import pathlib, sys, zipfile
folder, readme = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
# Notepad before Windows 10 wants CR LF.
text = readme.read_text(encoding="utf-8").replace("\n", "\r\n")
with zipfile.ZipFile(f"{folder}.zip", "w", zipfile.ZIP_DEFLATED) as archive:
    for path in sorted(folder.iterdir()):
        archive.write(path, f"{folder.name}/{path.name}")
    archive.writestr(f"{folder.name}/README.txt", text)
PY
echo "windows build: $((build_ms / 1000)).$((build_ms % 1000 / 100)) s"
for program in "${programs[@]}"; do
    name=$(basename "$program")
    echo "$name: $(stat -c %s "$package/$name") bytes stripped"
done
echo "$package.zip: $(stat -c %s "$package.zip") bytes"
