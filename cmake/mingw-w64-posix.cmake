# Cross build for 64-bit Windows with Debian's MinGW-w64. The -posix compilers: the win32
# thread model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PELVANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The header-only packages (nlohmann-json, CLI11) come from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Programs carry the C and C++ runtimes and winpthreads, so they run without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Tests and the discovery of test cases run under Wine, so both wait for ctest, which runs
# in a Wine prefix made for it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
