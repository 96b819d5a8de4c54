# Cross-builds the 32-bit Windows program and its tests with Debian's mingw-w64; tests run
# under Wine through tools/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(HOROFU_MINGW_PREFIX i686-w64-mingw32)
# The posix-threads variant: the win32 one has no std::thread or std::mutex in GCC 12.
set(CMAKE_C_COMPILER ${HOROFU_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HOROFU_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HOROFU_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HOROFU_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and add_test run the .exe files through Wine, with a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
