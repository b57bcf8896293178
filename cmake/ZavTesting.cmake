# Test helpers shared by every part of the tree.
#
#   zav_add_gtest(<name> SOURCES <files...> [LIBS <targets...>])
#       Host only: a GoogleTest executable registered with CTest.
#   zav_add_wine_test(<name> SCRIPT <bash script> [ARGS <args...>] [SERIAL] [TIMEOUT <s>]
#                     [ENV <VAR=value...>])
#       Windows build only: a bash script that drives the built programs under Wine.
#       The script gets ZAV_SOURCE_DIR, ZAV_BINARY_DIR, ZAV_WINE_LIB (tests/wine/lib.sh),
#       ZAV_WINE_ARCH (win32 or win64, the build's bitness) and ENV. Left out where this
#       machine cannot run the build's programs (ZAV_WINE_TESTS).
#   zav_add_junit_test(<name> JAVA_DIRS <dirs...> [LIBRARY_DIRS <dirs...>] [DEPENDS <targets...>]
#                      [XVFB] [ENV <VAR=value...>] [JVM_ARGS <args...>])
#       Host only: compiles the Java sources under JAVA_DIRS with JUnit 5 and runs them
#       with -Xcheck:jni; any JNI warning on the JVM's output fails the test. In a
#       sanitizer build the sanitizers' runtimes are preloaded into the JVM.
#   zav_java_client_classes(<out_var> <source_dir> <dest_dir>)
#       Copies the Java sources under <source_dir> that are not tests (*Test.java)
#       to <dest_dir>, for a JVM that runs other tests over the same client classes.

option(ZAV_TESTS "Build the tests" ON)
if(NOT WIN32 AND ZAV_TESTS)
  find_package(GTest QUIET)
  if(GTest_FOUND)
    include(GoogleTest)
  else()
    message(STATUS "GoogleTest not found: the unit tests are not built")
  endif()
endif()

function(zav_add_gtest name)
  if(WIN32 OR NOT ZAV_TESTS OR NOT GTest_FOUND)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(APPLE)
    # A package manager's GoogleTest has the machine's own architecture only; the
    # tests run here, so they are built for it alone (the libraries they link stay
    # universal, and the linker takes the slice it needs).
    set_target_properties(${name} PROPERTIES OSX_ARCHITECTURES ${CMAKE_HOST_SYSTEM_PROCESSOR})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
endfunction()

# Wine runs a Windows build here only when this machine can execute its programs:
# 64-bit builds need wine64; 32-bit ones need wine32, which is installed only where
# the kernel runs 32-bit ELF and the mirror could serve it. Decided afresh at every
# configure from what is installed now (ZAV_WINE_TESTS ON or OFF overrides it).
set(ZAV_WINE_TESTS AUTO CACHE STRING "Run the Wine tests of this Windows build: ON, OFF or AUTO")
if(WIN32 AND ZAV_WINE_TESTS STREQUAL "AUTO")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(zav_wine_probe /usr/lib/wine/wine64 --version)
  else()
    set(zav_wine_probe /usr/lib/wine/wine --version)
  endif()
  execute_process(COMMAND ${zav_wine_probe} RESULT_VARIABLE zav_wine_rc OUTPUT_QUIET ERROR_QUIET)
  if(zav_wine_rc EQUAL 0)
    set(zav_wine_runs ON)
  else()
    set(zav_wine_runs OFF)
    message(STATUS "Wine cannot run this build's programs here: its Wine tests are left out")
  endif()
else()
  set(zav_wine_runs ${ZAV_WINE_TESTS})
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZAV_WINE_ARCH win64)
else()
  set(ZAV_WINE_ARCH win32)
endif()

function(zav_add_wine_test name)
  if(NOT WIN32 OR NOT zav_wine_runs OR NOT ZAV_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "SERIAL" "SCRIPT;TIMEOUT" "ARGS;ENV" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${T_SCRIPT} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS wine
    ENVIRONMENT "ZAV_SOURCE_DIR=${CMAKE_SOURCE_DIR};ZAV_BINARY_DIR=${CMAKE_BINARY_DIR};ZAV_WINE_LIB=${CMAKE_SOURCE_DIR}/tests/wine/lib.sh;ZAV_WINE_ARCH=${ZAV_WINE_ARCH};${T_ENV}")
  if(T_SERIAL)
    # Fixed ports and the prefix's service manager: one at a time.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_ports)
  endif()
endfunction()

function(zav_add_junit_test name)
  if(WIN32 OR NOT ZAV_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "XVFB" "" "JAVA_DIRS;LIBRARY_DIRS;DEPENDS;ENV;JVM_ARGS" ${ARGN})
  set(cmd bash ${CMAKE_SOURCE_DIR}/tests/java/run-junit.sh
      --work ${CMAKE_CURRENT_BINARY_DIR}/${name}.junit)
  foreach(d ${T_JAVA_DIRS})
    list(APPEND cmd --src ${d})
  endforeach()
  foreach(d ${T_LIBRARY_DIRS})
    list(APPEND cmd --libdir ${d})
  endforeach()
  foreach(a ${T_JVM_ARGS})
    list(APPEND cmd --jvm-arg ${a})
  endforeach()
  if(T_XVFB)
    list(APPEND cmd --xvfb)
  endif()
  add_test(NAME ${name} COMMAND ${cmd})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS java)
  set(env ${T_ENV})
  if(ZAV_SANITIZE)
    # The JVM is not built with the sanitizers: their runtimes are preloaded, and
    # the JVM keeps its own signal handling and allocations.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE asan OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so
                    OUTPUT_VARIABLE ubsan OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND env "LD_PRELOAD=${asan}:${ubsan}"
                    "ASAN_OPTIONS=handle_segv=0:detect_leaks=0:allow_user_segv_handler=1"
                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  if(env)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  endif()
endfunction()

function(zav_java_client_classes out_var source_dir dest_dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS RELATIVE ${source_dir} ${source_dir}/*.java)
  foreach(s ${sources})
    if(NOT s MATCHES "Test\\.java$")
      configure_file(${source_dir}/${s} ${dest_dir}/${s} COPYONLY)
    endif()
  endforeach()
  set(${out_var} ${dest_dir} PARENT_SCOPE)
endfunction()
