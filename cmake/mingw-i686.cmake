# Cross-compiles for 32-bit Windows with mingw-w64. Test programs run under wine in a 32-bit
# prefix (WINEARCH=win32): ctest starts each one through scripts/wine-run.sh, with a prefix kept
# inside the build tree unless the caller shares one through VESPERINE_WINEPREFIX32.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VESPERINE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

get_filename_component(VESPERINE_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VESPERINE_SOURCE_ROOT}/scripts/wine-run.sh --arch win32
    --default-prefix ${CMAKE_BINARY_DIR}/wineprefix)
