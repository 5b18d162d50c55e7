#!/usr/bin/env bash
# Checks the Debian packages in DIR (default build/package): lintian, then an install,
# the units, the installed programs against the packaged simulator, and a purge that
# leaves nothing behind. Needs root: the packages are installed on this machine for the
# while, with a policy-rc.d guard so that nothing starts.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh

packages=(pelvane pelvane-tools libkestrum1 libkestrum-dev kestrum-sim)
passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what" >&2
        failed=$((failed + 1))
    fi
}

# Inside the private network: the packaged simulator, pelvane-cli and a C program.
if [ "${1:-}" = "--against-sim" ]; then
    work=$2
    /usr/bin/kestrum-sim --bus /usr/share/kestrum-sim/buses/demo.json --address 127.0.0.1 >"$work/sim.out" 2>&1 &
    sim=$!
    pelvane_await 10 grep -q '^listening' "$work/sim.out" || { kill "$sim"; exit 1; }
    info() {
        /usr/bin/pelvane-cli info 127.0.0.1 | tee "$work/info.out" && grep -qx 'model: KSM464' "$work/info.out"
    }
    check "pelvane-cli info 127.0.0.1 prints the simulator's identity" info
    check "a program built with pkg-config kestrum opens a link" "$work/fastopen" 127.0.0.1
    kill "$sim"
    wait "$sim"
    [ "$failed" -eq 0 ]
    exit
fi

dir=$(realpath "${1:-build/package}")
debs=()
for p in "${packages[@]}"; do
    deb=$(ls "$dir/${p}_"*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || { echo "FAIL: no package $p in $dir" >&2; exit 1; }
    debs+=("$deb")
done

installed() { dpkg-query -W -f='${Status}\n' "$@" 2>/dev/null | grep -q 'ok installed'; }
purge() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${packages[@]}" >/dev/null; }
work=$(mktemp -d)
guard=""
cleanup() {
    [ -n "$guard" ] && rm -f "$guard"
    for p in "${packages[@]}"; do installed "$p" && { purge; break; }; done
    rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian"
check "lintian: no error" lintian --fail-on error --display-info --tag-display-limit 0 "${debs[@]}"

no_maintainer_scripts() {
    ! dpkg-deb --ctrl-tarfile "$1" | tar -t | grep -Eq 'postinst|prerm|postrm|preinst'
}
check "pelvane-tools has no maintainer script (no unit is enabled or started)" \
    no_maintainer_scripts "${debs[1]}"

echo "== install"
# Nothing of ours may start on install, and nothing else that apt pulls in either.
if [ ! -e /usr/sbin/policy-rc.d ]; then
    guard=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' >"$guard"
    chmod +x "$guard"
fi
for p in "${packages[@]}"; do installed "$p" && { purge; break; }; done
apt_install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${debs[@]}" \
        >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; return 1; }
}
check "apt-get install of the packages" apt_install

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
exports() {
    local lib=/usr/lib/$multiarch/libkestrum.so.1
    objdump -p "$lib" | grep -q 'SONAME *libkestrum.so.1$' &&
        diff <(nm -D --defined-only "$lib" | awk '{print $3}' | sort) \
             <(grep -o 'KST_[A-Za-z]*(' kestrum/include/kestrum.h | tr -d '(' | sort)
}
check "libkestrum.so.1 exports exactly the six functions of kestrum.h" exports
check "man -w finds every program's page" man -w pelvane pelvane-cli pelvane-exporter \
    kestrum-gateway kestrum-sim
check "desktop-file-validate passes on the installed entry" \
    desktop-file-validate /usr/share/applications/pelvane.desktop

units=$(pkg-config --variable=systemdsystemunitdir systemd)
ln -s "$units/kestrum-gateway@.service" "$work/kestrum-gateway@vgw0.service"
check "systemd-analyze verify on both units" systemd-analyze verify \
    "$units/pelvane-exporter.service" "$work/kestrum-gateway@vgw0.service"

cat >"$work/fastopen.c" <<'EOF'
#include <kestrum.h>
#include <stdio.h>

int main(int argc, char** argv) {
    KST_HANDLE link = 0;
    int status = argc > 1 ? KST_FastOpen(KST_TYPE_ETHERNET, argv[1], 1000, &link) : -1;
    printf("KST_FastOpen: %d\n", status);
    if (status == 0) KST_Close(link);
    return status == 0 ? 0 : 1;
}
EOF
# shellcheck disable=SC2046 # pkg-config's flags are meant to split
check "a C program compiles with pkg-config --cflags --libs kestrum" \
    cc -Wall -Wextra -Werror -o "$work/fastopen" "$work/fastopen.c" $(pkg-config --cflags --libs kestrum)

echo "== the installed programs against the packaged simulator (private network)"
check "pelvane-cli and libkestrum against kestrum-sim" \
    pelvane_in_private_network bash tests/packaging/check.sh --against-sim "$work"

echo "== purge"
for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done |
    grep -v '/$' | sed 's|^\.||' >"$work/files"
check "apt-get purge of the packages" purge
left() {
    local p status=0
    for p in "${packages[@]}"; do
        if dpkg -L "$p" >/dev/null 2>&1; then echo "dpkg -L $p still lists files" >&2; status=1; fi
    done
    while read -r f; do
        if [ -e "$f" ] || [ -L "$f" ]; then echo "left behind: $f" >&2; status=1; fi
    done <"$work/files"
    return $status
}
check "nothing of the packages is left" left

echo "packaging: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
