# Shared by the project's scripts: package set-up and the private network.

# Debian packages the build, the tests and the demo need.
PELVANE_PACKAGES=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qt6-base-dev libgl-dev libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev
    xvfb xauth xdotool imagemagick fonts-wqy-microhei iproute2 util-linux locales
    prometheus-cpp-dev prometheus curl python3 tshark
)

# The Windows build (scripts/windows.sh): MinGW-w64 with posix threads, and Wine for its tests.
PELVANE_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 fonts-wine)

# Installs what is missing of the packages given, by default PELVANE_PACKAGES; quiet when
# everything is there.
pelvane_install_packages() {
    local wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${PELVANE_PACKAGES[@]}")
    local missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    # The prometheus package would start a system server listening on every
    # interface; the tests run their own on loopback, so no service may start.
    local guard=""
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        guard=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\nexit 101\n' >"$guard"
        chmod +x "$guard"
    fi
    local status=0
    apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" || status=$?
    [ -n "$guard" ] && rm -f "$guard"
    return $status
}

# True when every interface that is up is loopback.
pelvane_only_loopback() {
    ! ip -o link show up 2>/dev/null | awk -F': ' '{print $2}' | grep -qv '^lo$'
}

# The one way into a fresh network namespace: runs "$@" there, as root or, for a user,
# inside a user namespace of its own (where unprivileged ones are allowed).
pelvane_unshare_net() {
    local user=()
    [ "$(id -u)" -eq 0 ] || user=(--map-root-user)
    unshare --net "${user[@]}" -- "$@"
}

# Runs "$@" in a fresh network namespace that holds only loopback, so nothing
# it sends can leave this machine; where only loopback is up already, right here.
pelvane_in_private_network() {
    if pelvane_only_loopback; then
        "$@"
        return
    fi
    pelvane_unshare_net bash -c 'ip link set lo up && exec "$@"' pelvane "$@"
}

pelvane_jobs() {
    nproc 2>/dev/null || echo 2
}

# Inside a private network namespace: the veth pair vseg0 (the segment's end) and vgw0
# (the gateway's end), up, without IPv6 chatter. Raw EtherCAT frames go onto it only.
pelvane_make_veth_pair() {
    ip link add vseg0 type veth peer name vgw0
    for link in vseg0 vgw0; do
        ip link set "$link" addrgenmode none
        ip link set "$link" up
    done
}

# Runs the calling script again, with its arguments, in a fresh network namespace that
# holds only loopback, and goes on there; even on a host with only loopback up, so that
# what the script makes there stays there.
pelvane_enter_private_network() {
    if [ -z "${PELVANE_NETNS:-}" ]; then
        pelvane_unshare_net env PELVANE_NETNS=1 bash "$0" "$@"
        exit $?
    fi
    # A namespace this did not just make may hold real interfaces: refuse it.
    if ip -o link show | awk -F': ' '$2 != "lo"' | grep -q .; then
        echo "not in a namespace of our own: run without PELVANE_NETNS" >&2
        exit 2
    fi
    ip link set lo up
}

# The same, with the veth pair made there. Needs root.
pelvane_enter_veth_namespace() {
    pelvane_enter_private_network "$@"
    pelvane_make_veth_pair
}

# The start of a test on a veth pair: skips it (exit 77) without root or a network
# namespace, else pelvane_enter_veth_namespace with the calling script's arguments.
pelvane_veth_test() {
    local why=""
    if [ "$(id -u)" -ne 0 ]; then
        why="needs root for a network namespace and raw sockets"
    elif ! command -v unshare >/dev/null; then
        why="unshare is not installed"
    elif [ -z "${PELVANE_NETNS:-}" ] && ! unshare --net true 2>/dev/null; then
        why="cannot make a network namespace here"
    fi
    if [ -n "$why" ]; then
        echo "SKIP: $why"
        exit 77
    fi
    pelvane_enter_veth_namespace "$@"
}

# Waits up to $1 seconds for the command after it to succeed.
pelvane_await() {
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    echo "FAIL: gave up after ${limit}s waiting for: $*" >&2
    return 1
}

# A scratch folder in $work and the background programs in $pids, both gone when the
# calling script exits.
pelvane_scratch() {
    work=$(mktemp -d)
    pids=()
    trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
          wait 2>/dev/null || true
          rm -rf "$work"' EXIT
}

# pelvane_scratch for a Wine session: its wineserver ends first.
pelvane_wine_scratch() {
    pelvane_scratch
    trap 'wineserver -k 2>/dev/null || true
          for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
          wait 2>/dev/null || true
          rm -rf "$work"' EXIT
}

# A Wine session for tests, in the folder given (pelvane_wine_scratch's $work): Xvfb on a free
# display, then a prefix of its own made with that display set (a session begun without
# one never shows a window), Chinese from an installed font, and no close delay without a
# window manager. Xvfb joins pids; the caller ends the wineserver (pelvane_wine_scratch).
pelvane_wine_session() {
    local dir=$1
    export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
    # Wine's windows stay findable by xdotool with a C locale; the texts are Chinese anyway.
    export LANG=C.UTF-8
    local display=90
    while [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
    export DISPLAY=:$display
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
    pids+=($!)
    pelvane_await 10 xdotool getdisplaygeometry >/dev/null 2>&1
    mkdir -p "$WINEPREFIX"
    # One wineserver for the session, not one per program.
    wineserver -p
    wineboot -i >"$dir/wineboot.log" 2>&1
    cat >"$dir/setup.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"Microsoft YaHei UI"="WenQuanYi Micro Hei"
"MS UI Gothic"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
    wine regedit /S "$dir/setup.reg"
}
