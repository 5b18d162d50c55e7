# The reply stream assembler. Built from the codec's own source so that the
# fuzzer's coverage reaches into it.
add_executable(fuzz_reply_stream
    ${CMAKE_CURRENT_LIST_DIR}/reply_stream_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/kestrum/src/wire.cpp
)
target_include_directories(fuzz_reply_stream PRIVATE ${PROJECT_SOURCE_DIR}/kestrum/src)
target_compile_options(fuzz_reply_stream PRIVATE -fsanitize=fuzzer,address,undefined
                                                 -fno-sanitize-recover=all)
target_link_options(fuzz_reply_stream PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_reply_stream PRIVATE pelvane_flags)
