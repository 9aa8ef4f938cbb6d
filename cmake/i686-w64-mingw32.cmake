# The product: 32-bit x86 Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLANE_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
