# Fails when a source of app/ or pages/ includes a header of one backend.
file(GLOB sources ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
                  ${SOURCE_DIR}/pages/*.cpp ${SOURCE_DIR}/pages/*.h)
set(backend_include
    "#[ \t]*include[ \t]*[<\"]([^>\"]*/)?(ui/qt/|ui/win32/|qt_access\\.h|win32_access\\.h|Q[A-Za-z]|windows\\.h)")
set(offenders "")
foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "${backend_include}")
    foreach(line ${lines})
        string(APPEND offenders "\n  ${source}: ${line}")
    endforeach()
endforeach()
if(offenders)
    message(FATAL_ERROR "app/ and pages/ include a backend's header:${offenders}")
endif()
