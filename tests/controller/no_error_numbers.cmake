# Fails when client code reads meaning into a controller's error number. The numbers are
# its maker's: only our servers (kestrum/server, sim/, gateway/) may name theirs.
include(${SOURCE_DIR}/cmake/forbidden_lines.cmake)
set(client_folders app pages ui nodes controller cli exporter common kestrum/client kestrum/include
                   kestrum/wire)
set(sources "")
foreach(folder ${client_folders})
    file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
endforeach()
set(our_numbers
    "status_codes\\.h|k(UnknownCommand|BadArgument|NoSuchNode|SdoFailed|SiiUnread)([^A-Za-z0-9_]|$)|(^|[^0-9])(200[123]|300[12])([^0-9]|$)")
pelvane_forbid_lines("${sources}" "${our_numbers}" "client code names a controller error number of ours")
