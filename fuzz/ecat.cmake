# EtherCAT frames, SII images and mailbox messages as they come from a segment.
pelvane_add_fuzzer(fuzz_ecat_frame ecat_frame_fuzz.cpp kestrum_ecat)
pelvane_add_fuzzer(fuzz_sii sii_fuzz.cpp kestrum_ecat)
pelvane_add_fuzzer(fuzz_mailbox mailbox_fuzz.cpp kestrum_ecat)
