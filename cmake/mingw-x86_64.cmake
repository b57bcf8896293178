# Cross toolchain: 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64).
# The deliverables are 32-bit; this build of the same sources runs the Wine tests on
# machines that cannot execute 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
# Debian ships a win32-threads and a posix-threads flavour; the posix one has std::thread.
foreach(flavour -posix "")
  find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc${flavour})
  find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++${flavour})
  if(CMAKE_C_COMPILER AND CMAKE_CXX_COMPILER)
    break()
  endif()
endforeach()
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
