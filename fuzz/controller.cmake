# Reply scanners of the controller access layer. Built from the one source file that
# holds them, so the fuzzer is instrumented throughout and needs no controller library.
add_executable(fuzz_number_scan
    ${CMAKE_CURRENT_LIST_DIR}/fuzz_number_scan.cpp
    ${PROJECT_SOURCE_DIR}/controller/reply_scan.cpp
)
target_include_directories(fuzz_number_scan PRIVATE ${PROJECT_SOURCE_DIR}/controller)
target_compile_options(fuzz_number_scan PRIVATE -fsanitize=fuzzer,address,undefined
                                                -fno-sanitize-recover=all)
target_link_options(fuzz_number_scan PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_number_scan PRIVATE kestrum_headers pelvane_flags)
