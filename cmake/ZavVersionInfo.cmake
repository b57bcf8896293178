# zav_version_info(<target> DESCRIPTION <one line>): gives a shipped Windows program
# or library its VERSIONINFO resource: the project version as file and product
# version, the file's own name as original and internal name, the line as its
# description, the company and copyright, and the commit it was built from (as
# configured: script/dist reconfigures a tree configured for another commit).
# A program also gets its application manifest (common/win32/program.manifest).
# Nothing on other platforms.
function(zav_version_info target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(V "" "DESCRIPTION" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ZAV_FILE_NAME "${target}.exe")
    set(ZAV_FILE_TYPE VFT_APP)
    set(ZAV_MANIFEST "1 24 \"${PROJECT_SOURCE_DIR}/common/win32/program.manifest\"")
  else()
    set(ZAV_FILE_NAME "${target}.dll")
    set(ZAV_FILE_TYPE VFT_DLL)
    set(ZAV_MANIFEST "")
  endif()
  set(ZAV_FILE_DESCRIPTION "${V_DESCRIPTION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(type STREQUAL "EXECUTABLE")
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/common/win32/program.manifest)
  endif()
  if(ZAV_TESTS)
    add_test(NAME ${target}_version
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/pe_version_check.sh ${CMAKE_RC_COMPILER}
                     $<TARGET_FILE:${target}> ${PROJECT_VERSION} ${ZAV_COMMIT})
  endif()
endfunction()
