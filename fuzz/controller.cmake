# Reply scanners of the controller access layer.
pelvane_add_fuzzer(fuzz_number_scan fuzz_number_scan.cpp pelvane_controller)
