# The diagnosis poll fed arbitrary controller replies. The fuzzer defines the KST_
# functions itself, so it must not link the kestrum library.
pelvane_add_fuzzer(fuzz_error_poll error_poll_fuzz.cpp pelvane_node_data)
