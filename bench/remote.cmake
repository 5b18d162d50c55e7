# KST_Execute's round trip and the window's poll against a simulator that runs as a program
# of its own, so that the Linux and the Windows build are timed against the same one
# (bench/windows.sh runs both).
add_executable(bench_remote_roundtrip ${CMAKE_CURRENT_LIST_DIR}/remote_roundtrip.cpp)
target_link_libraries(bench_remote_roundtrip PRIVATE kestrum CLI11::CLI11 pelvane_test_support
                                                     pelvane_flags)
add_executable(bench_remote_poll ${CMAKE_CURRENT_LIST_DIR}/remote_poll.cpp)
target_link_libraries(bench_remote_poll PRIVATE pelvane_node_data kestrum CLI11::CLI11
                                                pelvane_test_support pelvane_flags)
