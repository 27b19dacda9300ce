# The stand-in package files of the installation disk: the Vantrix utility's two
# programs and its library, built with the Windows cross compiler, and the
# driver's VxD, INF and help file, written by a script. Included by the Windows
# build after the toolchain is set; it compresses and places them on the disk.
#
# Defines the targets standin_vp95, standin_vpicon and standin_vp95dll, the
# target `standins` that produces all six files, and VX_STANDIN_FILES, their
# absolute paths in the build tree (uncompressed, under their installed names).

get_filename_component(VX_STANDIN_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/standins ABSOLUTE)
set(VX_STANDIN_OUTPUT_DIR ${CMAKE_BINARY_DIR}/standins)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Like SETUP.EXE, the stand-ins link no C runtime, so they need nothing that a
# bare Windows 95 or Wine lacks: their own entry points, libgcc for any helper
# the compiler calls, and the system DLLs. Without the link time stamp two builds
# give the same bytes, and so the same disk.
set(VX_STANDIN_COMPILE_OPTIONS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -Wall -Wextra -Werror)
set(VX_STANDIN_LINK_OPTIONS -nostdlib -nostartfiles -s -Wl,--no-insert-timestamp)

function(vx_add_standin_program target name)
  add_executable(${target} WIN32 ${VX_STANDIN_SOURCE_DIR}/${name}.cpp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} SUFFIX ".exe"
                        RUNTIME_OUTPUT_DIRECTORY ${VX_STANDIN_OUTPUT_DIR})
  target_compile_options(${target} PRIVATE ${VX_STANDIN_COMPILE_OPTIONS})
  target_link_options(${target} PRIVATE ${VX_STANDIN_LINK_OPTIONS} -Wl,--subsystem,windows)
  target_link_libraries(${target} PRIVATE user32 gdi32 kernel32 gcc)
endfunction()

vx_add_standin_program(standin_vp95 vp95)
vx_add_standin_program(standin_vpicon vpicon)

add_library(standin_vp95dll SHARED ${VX_STANDIN_SOURCE_DIR}/vp95dll.cpp)
set_target_properties(standin_vp95dll PROPERTIES OUTPUT_NAME vp95dll PREFIX "" SUFFIX ".dll"
                      RUNTIME_OUTPUT_DIRECTORY ${VX_STANDIN_OUTPUT_DIR}
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standins-lib)
target_compile_options(standin_vp95dll PRIVATE ${VX_STANDIN_COMPILE_OPTIONS})
# --kill-at exports the stdcall functions under their plain names.
target_link_options(standin_vp95dll PRIVATE ${VX_STANDIN_LINK_OPTIONS} -Wl,--kill-at)
target_link_libraries(standin_vp95dll PRIVATE kernel32 gcc)

set(VX_STANDIN_SAMPLES
    ${VX_STANDIN_OUTPUT_DIR}/vxmouse.vxd
    ${VX_STANDIN_OUTPUT_DIR}/vxmouse.inf
    ${VX_STANDIN_OUTPUT_DIR}/vxmouse.hlp)
add_custom_command(
  OUTPUT ${VX_STANDIN_SAMPLES}
  COMMAND ${Python3_EXECUTABLE} ${VX_STANDIN_SOURCE_DIR}/make_samples.py
          --inf-template ${VX_STANDIN_SOURCE_DIR}/vxmouse.inf.in --out-dir ${VX_STANDIN_OUTPUT_DIR}
  DEPENDS ${VX_STANDIN_SOURCE_DIR}/make_samples.py ${VX_STANDIN_SOURCE_DIR}/vxmouse.inf.in
  COMMENT "Writing the driver's sample files of the installation disk"
  VERBATIM)

set(VX_STANDIN_FILES
    ${VX_STANDIN_OUTPUT_DIR}/vp95.exe
    ${VX_STANDIN_OUTPUT_DIR}/vpicon.exe
    ${VX_STANDIN_OUTPUT_DIR}/vp95dll.dll
    ${VX_STANDIN_SAMPLES})

add_custom_target(standins ALL DEPENDS ${VX_STANDIN_SAMPLES})
add_dependencies(standins standin_vp95 standin_vpicon standin_vp95dll)
