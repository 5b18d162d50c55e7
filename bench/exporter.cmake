# pelvane-exporter's poll beside the window's poll of the same bus, and the cost of
# building and serialising /metrics.
if(TARGET pelvane_exporter)
    add_executable(bench_exporter_poll ${CMAKE_CURRENT_LIST_DIR}/exporter_poll.cpp)
    target_link_libraries(bench_exporter_poll PRIVATE pelvane_exporter kestrum kestrum_sim
                                                      CLI11::CLI11 pelvane_test_support
                                                      pelvane_flags)
endif()
