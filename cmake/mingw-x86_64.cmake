# Cross toolchain: 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64).
# The deliverables are 32-bit; this build of the same sources runs the Wine tests on
# machines that cannot execute 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
