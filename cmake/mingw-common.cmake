# Compilers and search paths shared by the mingw-w64 toolchain files, which set
# VESPERINE_MINGW_TRIPLE before including this one.

# The posix thread model: with the win32 one, GCC 12's libstdc++ has no std::mutex or std::thread,
# which GoogleTest needs. -static (see the top CMakeLists.txt) links winpthread into each program.
# The shipped saver alone is built with the win32 model (resources/CMakeLists.txt): winpthread
# imports functions that the oldest systems it runs on lack.
set(CMAKE_C_COMPILER ${VESPERINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VESPERINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VESPERINE_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw-w64 sysroot only, never from the Linux host; programs
# (code generators, windres) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VESPERINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
