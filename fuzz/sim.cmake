# The simulator's request assembly and command interpreter. Built from their sources so
# that the fuzzer is instrumented throughout and needs no sockets.
add_executable(fuzz_sim_requests
    ${CMAKE_CURRENT_LIST_DIR}/sim_requests_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/sim/src/machine.cpp
    ${PROJECT_SOURCE_DIR}/sim/src/bus.cpp
    ${PROJECT_SOURCE_DIR}/kestrum/src/wire.cpp
)
target_include_directories(fuzz_sim_requests PRIVATE ${PROJECT_SOURCE_DIR}/sim/include
                                                     ${PROJECT_SOURCE_DIR}/sim/src
                                                     ${PROJECT_SOURCE_DIR}/kestrum/src)
target_compile_definitions(fuzz_sim_requests
                           PRIVATE KESTRUM_SIM_DEMO_BUS="${PROJECT_SOURCE_DIR}/sim/buses/demo.json")
target_compile_options(fuzz_sim_requests PRIVATE -fsanitize=fuzzer,address,undefined
                                                 -fno-sanitize-recover=all)
target_link_options(fuzz_sim_requests PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_sim_requests PRIVATE nlohmann_json::nlohmann_json pelvane_flags)
