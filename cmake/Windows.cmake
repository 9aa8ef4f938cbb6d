# 32-bit Windows build: the program, the test stand-ins and the tests run under Wine.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Only Windows' own DLLs at run time, no link timestamp, no paths of this
# machine in the output: the same source gives the same bytes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

set(warnings -Wall -Wextra -Werror)

add_library(quillane_platform STATIC platform/WindowsPlatformServices.cpp)
target_include_directories(quillane_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(quillane_platform PRIVATE ${warnings})
target_link_libraries(quillane_platform PUBLIC ole32 user32 version)

include(cmake/WindowsTests.cmake)
