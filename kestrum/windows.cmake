# On Windows `kestrum` is a static library, so our programs need no DLL; kestrum.dll is
# built beside it for other programs, with its import library and a .def file from which
# MSVC's lib.exe makes kestrum.lib.
add_library(kestrum STATIC ${kestrum_sources})
target_include_directories(kestrum PUBLIC include)
target_compile_definitions(kestrum PUBLIC KESTRUM_STATIC)
target_link_libraries(kestrum PRIVATE kestrum_wire pelvane_flags PUBLIC ws2_32 Threads::Threads)
set_target_properties(kestrum PROPERTIES OUTPUT_NAME kestrum_static)

# Only what KST_API marks is exported: the six functions.
add_library(kestrum_dll SHARED ${kestrum_sources})
target_include_directories(kestrum_dll PUBLIC include)
target_compile_definitions(kestrum_dll PRIVATE KESTRUM_BUILDING)
target_link_libraries(kestrum_dll PRIVATE kestrum_wire pelvane_flags ws2_32 Threads::Threads)
target_link_options(kestrum_dll PRIVATE -Wl,--no-undefined
    -Wl,--output-def,${CMAKE_CURRENT_BINARY_DIR}/kestrum.def)
set_target_properties(kestrum_dll PROPERTIES
    OUTPUT_NAME kestrum
    PREFIX ""
    VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
