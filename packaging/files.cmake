# What the packages hold beyond the programs' own install rules: man pages, the
# pkg-config file, the systemd units and their settings, the Debian doc files.
include(GNUInstallDirs)

# The units and the settings file name /usr/bin and /etc/default as they are.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR NOT PELVANE_GUI)
    message(FATAL_ERROR "PELVANE_PACKAGE needs CMAKE_INSTALL_PREFIX=/usr and PELVANE_GUI")
endif()

find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_get_variable(SYSTEMD_UNIT_DIR systemd systemdsystemunitdir)
if(NOT SYSTEMD_UNIT_DIR)
    message(FATAL_ERROR "systemd.pc not found: install systemd")
endif()

set(PELVANE_MAINTAINER "Pelvane maintainers <maintainers@users.noreply.c-seed-0735cf9c.example>")
set(packaged_dir ${CMAKE_BINARY_DIR}/packaged)
set(packaged_files)

# A page from the program's own --help, so it cannot drift from it. The program is
# called by its bare name on PATH: a usage line that prints argv[0] shows no build path.
function(pelvane_help2man target component description)
    set(page ${packaged_dir}/${target}.1)
    set(include ${PROJECT_SOURCE_DIR}/packaging/man/${target}.h2m)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${target}>:$ENV{PATH}"
                ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION} --name=${description}
                            --include=${include} --output=${page} ${target}
        COMMAND ${GZIP} -9nf ${page}
        DEPENDS ${target} ${include}
        VERBATIM)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
    set(packaged_files ${packaged_files} ${page}.gz PARENT_SCOPE)
endfunction()

pelvane_help2man(pelvane-cli pelvane-tools "diagnose an EtherCAT bus through its motion controller")
pelvane_help2man(pelvane-exporter pelvane-tools "serve EtherCAT buses as Prometheus metrics")
pelvane_help2man(kestrum-gateway pelvane-tools "serve an EtherCAT line as a motion controller")
pelvane_help2man(kestrum-sim kestrum-sim "simulated motion controller with an EtherCAT bus")

# The window takes no command line, so help2man has nothing to read: its page is written.
add_custom_command(OUTPUT ${packaged_dir}/pelvane.1.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/man/pelvane.1
            ${packaged_dir}/pelvane.1
    COMMAND ${GZIP} -9nf ${packaged_dir}/pelvane.1
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/pelvane.1
    VERBATIM)
install(FILES ${packaged_dir}/pelvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT pelvane)
list(APPEND packaged_files ${packaged_dir}/pelvane.1.gz)

# One changelog entry for the version being packaged, dated by SOURCE_DATE_EPOCH when set.
string(TIMESTAMP PELVANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/deb/changelog.in ${packaged_dir}/changelog.in @ONLY)
add_custom_command(OUTPUT ${packaged_dir}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${packaged_dir}/changelog.in ${packaged_dir}/changelog
    COMMAND ${GZIP} -9nf ${packaged_dir}/changelog
    DEPENDS ${packaged_dir}/changelog.in
    VERBATIM)
list(APPEND packaged_files ${packaged_dir}/changelog.gz)

set(PELVANE_PACKAGES pelvane pelvane-tools libkestrum1 libkestrum-dev kestrum-sim)
foreach(package IN LISTS PELVANE_PACKAGES)
    install(FILES ${packaged_dir}/changelog.gz packaging/deb/copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package})
endforeach()

configure_file(packaging/kestrum.pc.in ${packaged_dir}/kestrum.pc @ONLY)
install(FILES ${packaged_dir}/kestrum.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT libkestrum-dev)

install(FILES packaging/pelvane-exporter.service packaging/kestrum-gateway@.service
        DESTINATION ${SYSTEMD_UNIT_DIR} COMPONENT pelvane-tools)
install(FILES packaging/pelvane-exporter.default DESTINATION /etc/default
        RENAME pelvane-exporter COMPONENT pelvane-tools)

# Everything the packages hold, and nothing of the tests: scripts/package.sh builds this.
add_custom_target(pelvane_packaged DEPENDS ${packaged_files})
add_dependencies(pelvane_packaged pelvane pelvane-cli pelvane-exporter kestrum-gateway
                 kestrum-sim kestrum)
