# Cross-compiles the test bench build for 64-bit Windows with Debian's MinGW-w64:
# SETUP.EXE from the same sources, run by the end-to-end tests under wine64 on
# machines that cannot execute 32-bit code.
# The -posix compilers are used: GoogleTest, built for the end-to-end driver,
# needs std::mutex, which the -win32 thread model lacks. SETUP.EXE itself links
# neither libstdc++ nor winpthread, so the thread model does not reach it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Programs built here run under Wine when CTest runs them.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh)
