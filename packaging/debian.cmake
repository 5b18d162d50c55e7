# Debian packages, one per install component; `cpack --preset package` after
# `cmake --build --preset package` (scripts/package.sh does both).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PELVANE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# These five only: an install rule without a component stays out of the packages.
set(CPACK_COMPONENTS_ALL ${PELVANE_PACKAGES})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SOURCE pelvane)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps must find libkestrum.so.1 to read the programs' other needs; being ours,
# it has no dependency information there, so the packages that link it name it below.
get_target_property(kestrum_dir kestrum BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${kestrum_dir})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

foreach(package IN LISTS PELVANE_PACKAGES)
    string(TOUPPER ${package} component)
    set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
endforeach()

set(CPACK_DEBIAN_PELVANE_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_PELVANE_DEPENDS libkestrum1)
set(CPACK_DEBIAN_PELVANE_DESCRIPTION
"diagnostic window for EtherCAT buses behind motion controllers
Pelvane connects to a networked motion controller and shows every node of
its EtherCAT bus with vendor, device ID, dial switch, axes and I/O ranges,
and, polled every 300 ms, each node's four receive-error counters and drive
status word, with the rows that take errors in red. It reads the bus only
through the controller's text command language. Its texts are Chinese.")

set(CPACK_DEBIAN_PELVANE-TOOLS_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_PELVANE-TOOLS_DEPENDS libkestrum1)
set(CPACK_DEBIAN_PELVANE-TOOLS_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/pelvane-tools/conffiles)
set(CPACK_DEBIAN_PELVANE-TOOLS_DESCRIPTION
"EtherCAT bus diagnosis without a window: CLI, exporter, gateway
Three programs on the window's diagnosis code, without Qt:
 - pelvane-cli: the window's diagnosis on a terminal and for scripts, with
   exit codes for a bus that took errors or differs from a snapshot;
 - pelvane-exporter: the buses of many controllers as Prometheus metrics,
   with the unit pelvane-exporter.service;
 - kestrum-gateway: a real EtherCAT line on a spare Ethernet port served as a
   controller, read only, with the unit kestrum-gateway@IFACE.service.
No unit is enabled or started on install.")

set(CPACK_DEBIAN_LIBKESTRUM1_PACKAGE_SECTION libs)
# CPack still adds postinst and postrm calling ldconfig; the trigger is what Debian asks for.
set(CPACK_DEBIAN_LIBKESTRUM1_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/libkestrum1/symbols
    ${PROJECT_SOURCE_DIR}/packaging/deb/libkestrum1/triggers)
set(CPACK_DEBIAN_LIBKESTRUM1_DESCRIPTION
"client library for networked motion controllers
kestrum links to a motion controller over TCP: one link per handle, a text
command in, what the controller printed out. It also searches the local
IPv4 networks for controllers. Six C functions, KST_FastOpen, KST_Close,
KST_SetTimeOut, KST_Execute, KST_DirectCommand and KST_SearchEth.")

set(CPACK_DEBIAN_LIBKESTRUM-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBKESTRUM-DEV_DEPENDS libkestrum1)
set(CPACK_DEBIAN_LIBKESTRUM-DEV_DESCRIPTION
"client library for networked motion controllers - development files
The header kestrum.h, the link to libkestrum.so.1 and kestrum.pc, for
programs that link kestrum (pkg-config --cflags --libs kestrum).")

set(CPACK_DEBIAN_KESTRUM-SIM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_KESTRUM-SIM_DESCRIPTION
"simulated motion controller with an EtherCAT bus
kestrum-sim serves a bus described by a JSON file on the controller's link
protocol and answers the network search, on loopback unless told otherwise.
Faults (climbing error counters, nodes dropping off, stalls, dropped links)
are switched by @SIM commands. A demo bus and a 200-node bus are in
/usr/share/kestrum-sim/buses. For trying the tools without hardware.")

include(CPack)
