# Fails when client code reads meaning into a controller's error number. The numbers are
# its maker's: only our servers (kestrum/server, sim/, gateway/) may name theirs.
set(client_folders app pages ui nodes controller cli exporter common kestrum/src kestrum/include
                   kestrum/wire)
set(sources "")
foreach(folder ${client_folders})
    file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
endforeach()
set(our_numbers
    "status_codes\\.h|k(UnknownCommand|BadArgument|NoSuchNode|SdoFailed|SiiUnread)([^A-Za-z0-9_]|$)|(^|[^0-9])(200[123]|300[12])([^0-9]|$)")
set(offenders "")
foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "${our_numbers}")
    foreach(line ${lines})
        string(APPEND offenders "\n  ${source}: ${line}")
    endforeach()
endforeach()
if(offenders)
    message(FATAL_ERROR "client code names a controller error number of ours:${offenders}")
endif()
