# The export list of a JNI library, one list for every platform:
#
#   zav_jni_exports(<target> CLASS <Java_package_Class> [DECORATED] [ON_UNLOAD]
#                   METHODS <method:parameter count>... [LINUX_ALSO <pattern>...])
#
# Windows: a generated .def. A 64-bit JVM looks up the plain Java_<class>_<method>;
# a 32-bit one _Java_<class>_<method>@<8 + 4 per parameter> or the plain name, never
# MinGW's own stdcall form Java_..._<method>@<n>: the i686 DLL exports the decorated
# form with DECORATED, the plain one without. A test checks that the DLL exports
# exactly these names (<target>_exports). ON_UNLOAD adds the library's
# JNI_OnUnload, which a 32-bit JVM looks up as _JNI_OnUnload@8 or plain.
# Linux: a generated version script that exports the same plain names (and any
# LINUX_ALSO patterns) and hides everything else.
#
# The entry points themselves are declared with ZAV_NATIVE (jni_native.h), which
# exports nothing by itself.
function(zav_jni_exports target)
  cmake_parse_arguments(E "DECORATED;ON_UNLOAD" "CLASS" "METHODS;LINUX_ALSO" ${ARGN})
  set(names "")
  set(def_lines "")
  set(entries "")
  foreach(entry ${E_METHODS})
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 method)
    list(GET parts 1 params)
    math(EXPR bytes "8 + 4 * ${params}")
    list(APPEND entries "Java_${E_CLASS}_${method}:${bytes}")
  endforeach()
  if(E_ON_UNLOAD)
    list(APPEND entries "JNI_OnUnload:8")  # (JavaVM*, void*)
  endif()
  foreach(entry ${entries})
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 plain)
    list(GET parts 1 bytes)
    if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
      if(E_DECORATED)
        list(APPEND names _${plain}@${bytes})
        string(APPEND def_lines "  _${plain}@${bytes} = ${plain}@${bytes}\n")
      else()
        list(APPEND names ${plain})
        string(APPEND def_lines "  ${plain} = ${plain}@${bytes}\n")
      endif()
    else()
      list(APPEND names ${plain})
      string(APPEND def_lines "  ${plain}\n")
    endif()
  endforeach()

  if(WIN32)
    get_target_property(output ${target} OUTPUT_NAME)
    if(NOT output)
      set(output ${target})
    endif()
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${output}.dll\nEXPORTS\n${def_lines}" @ONLY)
    target_sources(${target} PRIVATE ${def})
    add_test(NAME ${target}_exports
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/check_exports.sh
                     ${CMAKE_OBJDUMP} $<TARGET_FILE:${target}> ${CMAKE_SYSTEM_PROCESSOR} ${names})
  else()
    list(APPEND names ${E_LINUX_ALSO})
    list(JOIN names ";\n    " globals)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global:\n    ${globals};\n  local:\n    *;\n};\n" @ONLY)
    target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,--version-script=${map})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
endfunction()

# zav_require_jni_build(<part> <library>): leaves the calling CMakeLists (a macro's
# return) where a JNI library cannot be built: on macOS (both are Windows libraries
# with a Linux development build) and without a JDK. Says so in one line.
macro(zav_require_jni_build part library)
  if(APPLE)
    message(STATUS "${part}: ${library} is a Windows library with a Linux development build; not built on macOS")
    return()
  endif()
  if(NOT TARGET zav_jni)
    message(STATUS "${part}: no JDK, ${library} is not built")
    return()
  endif()
endmacro()
