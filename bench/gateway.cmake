# The gateway's frames, scans, polls, lossy line, slow SII and drives' mailboxes on a veth pair against the
# emulated segment; run through gateway.sh, which makes the pair in a network namespace of
# its own.
add_executable(bench_gateway ${CMAKE_CURRENT_LIST_DIR}/gateway.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/gateway_loop.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/gateway_loss.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/gateway_mailbox.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/gateway_sii.cpp)
target_link_libraries(bench_gateway PRIVATE kestrum_gateway kestrum_sim_segment pelvane_node_data
                                            kestrum kestrum_sim CLI11::CLI11 pelvane_flags)
