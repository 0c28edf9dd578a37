# Cross toolchain: 64-bit Windows executables built on Linux with mingw-w64.
# The posix thread model (GoogleTest needs std::mutex); -static links
# winpthread in, so the exe imports nothing but Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLYPHARY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${GLYPHARY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLYPHARY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${GLYPHARY_MINGW_PREFIX}-windres)
# The archivers that index link-time-optimisation objects.
set(CMAKE_AR     /usr/bin/${GLYPHARY_MINGW_PREFIX}-gcc-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${GLYPHARY_MINGW_PREFIX}-gcc-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${GLYPHARY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables are Windows programs: CTest starts them through Wine in a
# prefix of the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
