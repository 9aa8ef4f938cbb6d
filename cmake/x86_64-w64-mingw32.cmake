# 64-bit Windows: a test vehicle only, for hosts that cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUILLANE_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
