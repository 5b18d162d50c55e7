# For the build's checks of the sources: fails, naming each file and line, when a line of
# sources matches pattern. what says what such a line does.
function(pelvane_forbid_lines sources pattern what)
    set(offenders "")
    foreach(source ${sources})
        file(STRINGS ${source} lines REGEX "${pattern}")
        foreach(line ${lines})
            string(APPEND offenders "\n  ${source}: ${line}")
        endforeach()
    endforeach()
    if(offenders)
        message(FATAL_ERROR "${what}:${offenders}")
    endif()
endfunction()

# The .cpp and .h files under root's folders but those named in skip, hidden ones and
# build trees, into result. A build looks again for new ones; a script run always does.
function(pelvane_sources_outside root skip result)
    set(watch CONFIGURE_DEPENDS)
    if(CMAKE_SCRIPT_MODE_FILE)
        set(watch "")
    endif()
    file(GLOB folders ${watch} LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
    set(sources "")
    foreach(folder ${folders})
        list(FIND skip ${folder} skipped)
        if(NOT IS_DIRECTORY ${root}/${folder} OR skipped GREATER -1 OR folder MATCHES "^(\\.|build|out$)")
            continue()
        endif()
        file(GLOB_RECURSE found ${watch} ${root}/${folder}/*.cpp ${root}/${folder}/*.h)
        list(APPEND sources ${found})
    endforeach()
    set(${result} ${sources} PARENT_SCOPE)
endfunction()

# A check of the sources that every build runs and ctest lists as name: script fails on
# what it forbids, and a change to any of sources runs it again.
function(pelvane_source_check name script sources comment)
    set(check ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${script})
    add_custom_command(OUTPUT ${name}.stamp
        COMMAND ${check}
        COMMAND ${CMAKE_COMMAND} -E touch ${name}.stamp
        DEPENDS ${sources} ${script} ${PROJECT_SOURCE_DIR}/cmake/forbidden_lines.cmake
        COMMENT "${comment}")
    add_custom_target(${name}_check ALL DEPENDS ${name}.stamp)
    add_test(NAME ${name} COMMAND ${check})
endfunction()
