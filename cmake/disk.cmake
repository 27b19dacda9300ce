# The installation disk: SETUP.EXE and the six package files in VX_DISK_DIR and,
# for the product, a 1.44 MB floppy image beside it.
if(VX_PRODUCT)
  set(VX_DISK_IMAGE ${PROJECT_SOURCE_DIR}/build/vantrix-disk.img)
  set(VX_DISK_STAMP ${VX_DISK_IMAGE})
  set(VX_DISK_REPORT COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/size_report.py --disk ${VX_DISK_DIR}
                     ${VX_DISK_IMAGE})
else()
  set(VX_DISK_IMAGE "")
  set(VX_DISK_STAMP ${CMAKE_BINARY_DIR}/disk.stamp)
  set(VX_DISK_REPORT COMMAND ${CMAKE_COMMAND} -E touch ${VX_DISK_STAMP})
endif()
add_custom_command(
  OUTPUT ${VX_DISK_STAMP}
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-disk.sh ${VX_DISK_DIR} "${VX_DISK_IMAGE}" $<TARGET_FILE:setup>
          ${VX_STANDIN_FILES}
  ${VX_DISK_REPORT}
  DEPENDS setup standins ${VX_STANDIN_FILES} ${PROJECT_SOURCE_DIR}/scripts/make-disk.sh
  COMMENT "Laying out the installation disk in ${VX_DISK_DIR}"
  VERBATIM)
add_custom_target(disk ALL DEPENDS ${VX_DISK_STAMP})
