# Fails when a source of app/ or pages/ includes a header of one backend.
include(${SOURCE_DIR}/cmake/forbidden_lines.cmake)
file(GLOB sources ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
                  ${SOURCE_DIR}/pages/*.cpp ${SOURCE_DIR}/pages/*.h)
set(backend_include
    "#[ \t]*include[ \t]*[<\"]([^>\"]*/)?(ui/qt/|ui/win32/|qt_access\\.h|win32_access\\.h|Q[A-Za-z]|windows\\.h)")
pelvane_forbid_lines("${sources}" "${backend_include}" "app/ and pages/ include a backend's header")
