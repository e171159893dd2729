# Cross toolchain for 32-bit Windows (MinGW-w64, posix thread model).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TC_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
