# The product's disk for its end-to-end tests (cmake/e2e.cmake), run as a script:
#   cmake -DSOURCE_DIR=CHECKOUT -DACTION=build -P product_disk.cmake
#     configures the `windows` preset if it is not, and builds it;
#   cmake -DSOURCE_DIR=CHECKOUT -DACTION=check -P product_disk.cmake
#     fails, naming the stale disk, when build/disk/SETUP.EXE is missing or older
#     than a file of src/. It runs where the tests run, the emulated PC too,
#     which has CMake but no compiler.
set(setup_exe ${SOURCE_DIR}/build/disk/SETUP.EXE)
if(ACTION STREQUAL "build")
  if(NOT EXISTS ${SOURCE_DIR}/build/windows/CMakeCache.txt)
    execute_process(COMMAND ${CMAKE_COMMAND} --preset windows WORKING_DIRECTORY ${SOURCE_DIR}
                    RESULT_VARIABLE status)
    if(status)
      message(FATAL_ERROR "the windows preset could not be configured")
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build --preset windows WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE status)
  if(status)
    message(FATAL_ERROR "the product (preset windows) could not be built")
  endif()
elseif(ACTION STREQUAL "check")
  if(NOT EXISTS ${setup_exe})
    message(FATAL_ERROR "${setup_exe} is missing: build it with cmake --build --preset product-e2e")
  endif()
  file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*)
  set(newer)
  foreach(source IN LISTS sources)
    if("${source}" IS_NEWER_THAN "${setup_exe}")
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      list(APPEND newer ${name})
    endif()
  endforeach()
  if(newer)
    list(JOIN newer ", " names)
    message(FATAL_ERROR "${setup_exe} is stale, older than ${names}: "
                        "build it with cmake --build --preset product-e2e before the product tests")
  endif()
  message(STATUS "${setup_exe} is newer than every file of src/")
else()
  message(FATAL_ERROR "ACTION is build or check")
endif()
