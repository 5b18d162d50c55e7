# The node pages: refresh and poll times, list rebuilds, the window's load while polling.
if(PELVANE_GUI)
    add_executable(bench_node_pages ${CMAKE_CURRENT_LIST_DIR}/node_pages.cpp)
    target_link_libraries(bench_node_pages PRIVATE pelvane_app kestrum kestrum_sim CLI11::CLI11
                                                   Qt6::Test pelvane_test_support pelvane_flags)
endif()
# The headless poll's commands and time with the registers read in bulk and item by item,
# beside the window's poll of the four receive-error counters.
add_executable(bench_headless_poll ${CMAKE_CURRENT_LIST_DIR}/headless_poll.cpp)
target_link_libraries(bench_headless_poll PRIVATE pelvane_node_data pelvane_controller
                                                  kestrum_sim kestrum CLI11::CLI11
                                                  pelvane_test_support pelvane_flags)
