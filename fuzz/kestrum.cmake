# The reply stream assembler of the link codec.
pelvane_add_fuzzer(fuzz_reply_stream reply_stream_fuzz.cpp kestrum_wire)
