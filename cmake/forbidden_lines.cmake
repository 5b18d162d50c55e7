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
