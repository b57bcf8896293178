# What ships: the deliverables of a build for dist/.

# A deliverable of this build for dist/, which script/dist lays out afresh from the
# build trees (cmake --install of each into dist/, then stripped, signed and summed).
# The programs ship as 32-bit Windows programs only (they run on 64-bit Windows as
# they are); a 64-bit Windows build contributes its JNI libraries, which a 64-bit
# JVM needs.
#   zav_dist(<target> [DIR <folder>]): into dist/<ZAV_DIST_DIR>, or the folder given.
function(zav_dist target)
  if(NOT ZAV_DIST)
    return()
  endif()
  cmake_parse_arguments(D "" "DIR" "" ${ARGN})
  if(NOT D_DIR)
    set(D_DIR ${ZAV_DIST_DIR})
  endif()
  get_target_property(type ${target} TYPE)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8 AND type STREQUAL "EXECUTABLE")
    return()
  endif()
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${D_DIR})
endfunction()
