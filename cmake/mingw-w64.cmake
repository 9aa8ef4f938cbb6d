# Cross-compiles for Windows with mingw-w64; test executables run under Wine.
# Included by the toolchain file of each target (QUILLANE_MINGW_TARGET).
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread flavour: GoogleTest needs std::mutex, which the win32 flavour lacks.
set(CMAKE_C_COMPILER ${QUILLANE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLANE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLANE_MINGW_TARGET}-windres)
set(CMAKE_OBJDUMP ${QUILLANE_MINGW_TARGET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLANE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
