# Cross-compiles for Windows with mingw-w64; test executables run under Wine.
# Included by the toolchain file of each target (QUILLANE_MINGW_TARGET).
#
# mingw-w64's runtime comes in two thread flavours. Everything is built in the
# win32 one, whose runtime calls nothing that Windows XP lacks; the posix one
# links a thread library that calls GetTickCount64 (Vista and later).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUILLANE_MINGW_TARGET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUILLANE_MINGW_TARGET}-g++-win32)
set(CMAKE_RC_COMPILER ${QUILLANE_MINGW_TARGET}-windres)
set(CMAKE_OBJDUMP ${QUILLANE_MINGW_TARGET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLANE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
