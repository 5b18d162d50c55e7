# The simulator's request assembly and command language, driven without sockets.
pelvane_add_fuzzer(fuzz_sim_requests sim_requests_fuzz.cpp kestrum_sim)
target_compile_definitions(fuzz_sim_requests
                           PRIVATE KESTRUM_SIM_DEMO_BUS="${PROJECT_SOURCE_DIR}/sim/buses/demo.json")
