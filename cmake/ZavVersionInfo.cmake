# zav_version_info(<target> DESCRIPTION <one line>): gives a shipped Windows program
# or library its VERSIONINFO resource: the project version as file and product
# version, the file's own name as original and internal name, and the line as its
# description. Nothing on other platforms.
function(zav_version_info target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(V "" "DESCRIPTION" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ZAV_FILE_NAME "${target}.exe")
    set(ZAV_FILE_TYPE VFT_APP)
  else()
    set(ZAV_FILE_NAME "${target}.dll")
    set(ZAV_FILE_TYPE VFT_DLL)
  endif()
  set(ZAV_FILE_DESCRIPTION "${V_DESCRIPTION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(ZAV_TESTS)
    add_test(NAME ${target}_version
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/pe_version_check.sh ${CMAKE_RC_COMPILER}
                     $<TARGET_FILE:${target}> ${PROJECT_VERSION})
  endif()
endfunction()
