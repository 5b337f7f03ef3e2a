# Cross-compiles for 32-bit Windows with mingw-w64. This is a compile check only: the machines we
# build on run no 32-bit programs (there is no 32-bit wine), so no emulator is set and ctest is not
# run in this tree.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VESPERINE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
