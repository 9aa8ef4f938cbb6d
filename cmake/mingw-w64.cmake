# Cross-compiles for Windows with mingw-w64; test executables run under Wine.
# Included by the toolchain file of each target (QUILLANE_MINGW_TARGET).
#
# mingw-w64's runtime comes in two thread flavours, and QUILLANE_THREADS picks
# one:
#   win32 (the default) for the program: its runtime calls nothing that Windows
#         XP lacks;
#   posix for the test programs: GoogleTest needs std::mutex, which only this
#         flavour has, and its thread library calls GetTickCount64 (Vista).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QUILLANE_THREADS)
    set(QUILLANE_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLANE_THREADS)

set(CMAKE_C_COMPILER ${QUILLANE_MINGW_TARGET}-gcc-${QUILLANE_THREADS})
set(CMAKE_CXX_COMPILER ${QUILLANE_MINGW_TARGET}-g++-${QUILLANE_THREADS})
set(CMAKE_RC_COMPILER ${QUILLANE_MINGW_TARGET}-windres)
set(CMAKE_OBJDUMP ${QUILLANE_MINGW_TARGET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLANE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
