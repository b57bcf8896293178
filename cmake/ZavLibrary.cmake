# zav_add_library(<name> STATIC|SHARED|OBJECT|INTERFACE [SOURCES <files...>] [LIBS <items...>])
#
# Every library of the tree is made here, the one way: the target <name>, the alias
# zav::<name> by which the others link it (a misspelt name then fails at configure
# time, not as a missing -l at link time), the tree's root as its include directory
# (includes name their files from the root), and what it links as LIBS. A static,
# object or interface library hands LIBS on to whatever links it; a shared one (a
# JNI library, a test DLL) keeps them to itself. Options of its own follow the call.
function(zav_add_library name kind)
  cmake_parse_arguments(PARSE_ARGV 2 L "" "" "SOURCES;LIBS")
  if(L_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zav_add_library(${name}): unknown arguments ${L_UNPARSED_ARGUMENTS}")
  endif()
  add_library(${name} ${kind} ${L_SOURCES})
  add_library(zav::${name} ALIAS ${name})
  if(kind STREQUAL "INTERFACE")
    set(scope INTERFACE)
  elseif(kind STREQUAL "SHARED")
    set(scope PRIVATE)
  else()
    set(scope PUBLIC)
  endif()
  target_include_directories(${name} ${scope} ${PROJECT_SOURCE_DIR})
  if(L_LIBS)
    target_link_libraries(${name} ${scope} ${L_LIBS})
  endif()
endfunction()
