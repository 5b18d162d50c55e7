#!/usr/bin/env bash
# Builds the programs for release and makes the Debian packages in build/package/:
# pelvane, pelvane-tools, libkestrum1, libkestrum-dev and kestrum-sim.
# With --check it then tests them (tests/packaging/check.sh), which installs and purges
# them on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

check=0
[ "${1:-}" = "--check" ] && check=1

PELVANE_PACKAGES+=(help2man dpkg-dev systemd man-db desktop-file-utils binutils)
[ $check = 1 ] && PELVANE_PACKAGES+=(lintian)
pelvane_install_packages

# Debian's hardening flags. No -g: the packages are stripped. No -Wdate-time: the gateway
# answers with its build date on purpose.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g
export DEB_CXXFLAGS_MAINT_STRIP=-g DEB_CPPFLAGS_MAINT_STRIP=-Wdate-time
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
# Man pages and changelog dated by the commit, not by the build.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export CFLAGS CXXFLAGS LDFLAGS SOURCE_DATE_EPOCH

echo "== package build"
cmake --preset package >/dev/null
cmake --build --preset package -j "$(pelvane_jobs)"
rm -f build/package/*.deb
cpack --preset package
ls -l build/package/*.deb

if [ $check = 1 ]; then
    echo "== package checks"
    bash tests/packaging/check.sh build/package
fi
