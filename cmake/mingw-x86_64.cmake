# Cross-compiles for 64-bit Windows with mingw-w64. Test programs run under wine: ctest starts each
# one through scripts/wine-run.sh, with a wine prefix kept inside the build tree unless the caller
# shares one through VESPERINE_WINEPREFIX.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VESPERINE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

get_filename_component(VESPERINE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${VESPERINE_SOURCE_ROOT}/scripts/wine-run.sh --default-prefix ${CMAKE_BINARY_DIR}/wineprefix)
