# Fails when a source outside sim/ includes one of the simulator's private headers
# (sim/src/). Its users, its own tests among them, have sim/include/kestrum_sim/; no file
# is let off.
include(${SOURCE_DIR}/cmake/forbidden_lines.cmake)
pelvane_sources_outside(${SOURCE_DIR} "sim" sources)
pelvane_forbid_lines("${sources}" "#[ \t]*include[ \t]*[<\"]([^>\"]*/)?sim/src/"
                     "a source outside sim/ includes a private header of the simulator")
