# KST_Execute's round trip and the window's poll against a simulator that runs as a program
# of its own, so that the Linux and the Windows build are timed against the same one
# (bench/windows.sh runs both).
add_executable(bench_remote_roundtrip ${CMAKE_CURRENT_LIST_DIR}/remote_roundtrip.cpp)
target_link_libraries(bench_remote_roundtrip PRIVATE kestrum CLI11::CLI11 pelvane_test_support
                                                     pelvane_flags)
add_executable(bench_remote_poll ${CMAKE_CURRENT_LIST_DIR}/remote_poll.cpp)
target_link_libraries(bench_remote_poll PRIVATE pelvane_node_data kestrum CLI11::CLI11
                                                pelvane_test_support pelvane_flags)

# The diagnosis list's rebuild in the Win32 backend, under Wine.
if(WIN32 AND PELVANE_GUI)
    add_executable(bench_win32_list_rebuild ${CMAKE_CURRENT_LIST_DIR}/win32_list_rebuild.cpp
                   ${PROJECT_SOURCE_DIR}/ui/win32/resources/pelvane_ui.rc)
    target_link_libraries(bench_win32_list_rebuild
        PRIVATE pelvane_ui pelvane_ui_resources pelvane_flags)
endif()
