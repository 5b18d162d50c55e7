# The node pages: refresh and poll times, list rebuilds, the window's load while polling.
if(PELVANE_GUI)
    add_executable(bench_node_pages ${CMAKE_CURRENT_LIST_DIR}/node_pages.cpp)
    target_link_libraries(bench_node_pages PRIVATE pelvane_app kestrum kestrum_sim CLI11::CLI11
                                                   Qt6::Test pelvane_test_support pelvane_flags)
endif()
