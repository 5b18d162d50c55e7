# Debian's header-only packages point at /usr/include, which also holds glibc's headers:
# in a MinGW build those would stand in for Windows ones. Their own folders are copied
# into the build tree and the targets point there instead.
function(pelvane_stage_headers target folder)
    set(staged ${CMAKE_BINARY_DIR}/staged-include)
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir IN LISTS dirs)
        if(EXISTS ${dir}/${folder})
            file(COPY ${dir}/${folder} DESTINATION ${staged})
            set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "${target}: no ${folder}/ in ${dirs}")
endfunction()

pelvane_stage_headers(nlohmann_json::nlohmann_json nlohmann)
pelvane_stage_headers(CLI11::CLI11 CLI)
