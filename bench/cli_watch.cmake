# pelvane-cli watch's poll beside the window's poll of the same bus.
add_executable(bench_cli_watch ${CMAKE_CURRENT_LIST_DIR}/cli_watch.cpp)
target_link_libraries(bench_cli_watch PRIVATE pelvane_cli kestrum kestrum_sim CLI11::CLI11
                                              pelvane_test_support pelvane_flags)
