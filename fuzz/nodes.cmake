# The diagnosis poll fed arbitrary controller replies. Built from the sources of the
# controller layer and the node data, so the fuzzer is instrumented throughout; the
# controller library is the fuzzer's own stand-in.
add_executable(fuzz_error_poll
    ${CMAKE_CURRENT_LIST_DIR}/error_poll_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/controller/command.cpp
    ${PROJECT_SOURCE_DIR}/controller/controller_link.cpp
    ${PROJECT_SOURCE_DIR}/controller/controller_state.cpp
    ${PROJECT_SOURCE_DIR}/controller/drive_status.cpp
    ${PROJECT_SOURCE_DIR}/controller/gbk.cpp
    ${PROJECT_SOURCE_DIR}/controller/queries.cpp
    ${PROJECT_SOURCE_DIR}/controller/reply_scan.cpp
    ${PROJECT_SOURCE_DIR}/nodes/error_poll.cpp
    ${PROJECT_SOURCE_DIR}/nodes/lostcount.cpp
    ${PROJECT_SOURCE_DIR}/nodes/node_cells.cpp
    ${PROJECT_SOURCE_DIR}/nodes/node_table.cpp
    ${PROJECT_SOURCE_DIR}/nodes/vendor_table.cpp
)
target_include_directories(fuzz_error_poll PRIVATE ${PROJECT_SOURCE_DIR}/controller
                                                   ${PROJECT_SOURCE_DIR}/nodes)
target_compile_options(fuzz_error_poll PRIVATE -fsanitize=fuzzer,address,undefined
                                               -fno-sanitize-recover=all)
target_link_options(fuzz_error_poll PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_error_poll PRIVATE kestrum_headers pelvane_flags)
