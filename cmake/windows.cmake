# Windows builds of SETUP.EXE. The i686 build is the product: SETUP.EXE for
# Windows 95, the installation disk and its floppy image. The x86_64 build is the
# test bench: the same sources compiled for 64-bit Windows, put on a disk of its
# own and driven by the end-to-end tests under wine64, because 32-bit code cannot
# run on every machine that runs the tests.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(VX_PRODUCT ON)
  set(VX_DISK_DIR ${PROJECT_SOURCE_DIR}/build/disk CACHE PATH "Where the installation disk is laid out")
else()
  set(VX_PRODUCT OFF)
  set(VX_DISK_DIR ${PROJECT_SOURCE_DIR}/build/bench-disk CACHE PATH "Where the test bench's disk is laid out")
endif()

# The end-to-end driver for the product: the same tests as the bench's, built for
# i686 and run with A: mapped to the product's disk (build/disk, laid out by the
# `windows` preset), by scripts/i386-pc.sh on a machine's 32-bit route. This
# build makes no SETUP.EXE of its own.
option(VX_PRODUCT_E2E "Build only the i686 end-to-end driver, for the product's disk" OFF)
if(VX_PRODUCT_E2E)
  include(cmake/e2e.cmake)
  return()
endif()

# --- SETUP.EXE ------------------------------------------------------------------
# No C runtime and no C++ library: Windows 95 has no MSVCRT.DLL. Our own entry
# point, no exceptions or RTTI (they need the C++ runtime), static libgcc for
# 64-bit arithmetic and stack probes. Loops that copy or clear memory must not be
# turned back into calls of the memcpy/memset we define.
add_executable(setup WIN32 ${PORTABLE_SOURCES} ${WIN32_SOURCES} ${PROJECT_SOURCE_DIR}/src/resources/setup.rc)
set_target_properties(setup PROPERTIES OUTPUT_NAME SETUP SUFFIX .EXE)
target_include_directories(setup PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(setup PRIVATE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400 _WIN32_IE=0x0300)
target_compile_options(setup PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-unwind-tables -fno-threadsafe-statics -fno-stack-protector -fno-tree-loop-distribute-patterns
  -ffunction-sections -fdata-sections -Wall -Wextra -Werror>)
set_property(SOURCE ${PROJECT_SOURCE_DIR}/src/resources/setup.rc APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/resources/resource_ids.h)
# windres is given the resource folder so that setup.rc names its pictures by
# relative path; as an include folder, which CMake quotes for a checkout path
# with a space.
target_include_directories(setup PRIVATE $<$<COMPILE_LANGUAGE:RC>:${PROJECT_SOURCE_DIR}/src/resources>)
target_link_options(setup PRIVATE -nostdlib -nostartfiles -static-libgcc -s -Wl,--gc-sections)
if(VX_PRODUCT)
  # A 486 is the least Windows 95 runs on; subsystem and OS version 4.0 are what
  # its loader accepts.
  target_compile_options(setup PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-march=i486 -mtune=generic>)
  # The link map lets the Windows 95 check name the function an offending
  # instruction lies in: the file itself is stripped.
  target_link_options(setup PRIVATE -Wl,--entry,_WinMainCRTStartup -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0 -Wl,-Map,${CMAKE_BINARY_DIR}/SETUP.map)
else()
  target_link_options(setup PRIVATE -Wl,--entry,WinMainCRTStartup)
endif()
# LZ32 comes before KERNEL32: MinGW's libkernel32.a also exports the LZ functions
# (Windows XP's KERNEL32 has them), and a binding to KERNEL32 would not load on
# Windows 95.
target_link_libraries(setup PRIVATE lz32 comctl32 ole32 user32 gdi32 advapi32 kernel32 gcc)

# --- The installation disk ---------------------------------------------------------
include(cmake/standins.cmake)
include(cmake/disk.cmake)

if(VX_PRODUCT)
  # The size report: the whole file, and how much of it is code and resources.
  add_custom_command(TARGET setup POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/size_report.py $<TARGET_FILE:setup>
    VERBATIM)
  # SETUP.EXE must load and run on Windows 95 on a 486: only its seven system
  # DLLs, only functions they export, a header its loader takes, no instruction
  # a 486 lacks, large frames through the stack probe. Functions that Windows 95
  # exports only as stubs (the token functions of the restart) are not imported
  # at all: Setup looks them up at run time, each listed in runtime-lookups.txt,
  # and does without them when they fail. The checker and its lists are the
  # project's own (tools/win95/README.md).
  add_test(NAME win95_imports
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/win95/check
            --fail-on-stubs --objdump ${CMAKE_OBJDUMP} --map ${CMAKE_BINARY_DIR}/SETUP.map
            --runtime-lookups ${PROJECT_SOURCE_DIR}/src $<TARGET_FILE:setup>)
  # A checker that passed everything would let any import through: its
  # self-test builds tiny programs it must pass or fail, in a few seconds.
  add_test(NAME win95_imports_selftest COMMAND sh ${PROJECT_SOURCE_DIR}/tools/win95/tests/selftest.sh)
  set_tests_properties(win95_imports_selftest PROPERTIES ENVIRONMENT OBJDUMP=${CMAKE_OBJDUMP})
else()
  include(cmake/e2e.cmake)
endif()
