# KST_Execute round trip against a bare TCP ping-pong of the same frame sizes.
add_executable(bench_kestrum_roundtrip ${CMAKE_CURRENT_LIST_DIR}/kestrum_roundtrip.cpp)
target_link_libraries(bench_kestrum_roundtrip PRIVATE kestrum kestrum_sim CLI11::CLI11
                                                      pelvane_test_support pelvane_flags)
