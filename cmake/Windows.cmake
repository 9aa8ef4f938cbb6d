# 32-bit Windows build: the program, the test stand-ins and the tests run under Wine.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Only Windows' own DLLs at run time, no link timestamp, no paths of this
# machine in the output: the same source gives the same bytes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

set(warnings -Wall -Wextra -Werror)

add_library(quillane_platform STATIC
    platform/WindowsAnsiPath.cpp
    platform/WindowsLibraries.cpp
    platform/WindowsModulePath.cpp
    platform/WindowsPlatformServices.cpp
    platform/WindowsProcessSetup.cpp)
target_include_directories(quillane_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(quillane_platform PRIVATE ${warnings})
target_link_libraries(quillane_platform PUBLIC ole32 user32)


# The icon is drawn as text in resources/icon.txt and made into an .ico here.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(icon_file ${CMAKE_BINARY_DIR}/resources/QuillaneConfig.ico)
add_custom_command(OUTPUT ${icon_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/resources/make_icon.py
            ${CMAKE_SOURCE_DIR}/resources/icon.txt ${icon_file}
    DEPENDS resources/icon.txt resources/make_icon.py)
add_custom_target(quillane_icon DEPENDS ${icon_file})
set(resource_script ${CMAKE_SOURCE_DIR}/resources/QuillaneConfig.rc)
set_source_files_properties(${resource_script} PROPERTIES
    OBJECT_DEPENDS ${icon_file}
    INCLUDE_DIRECTORIES "${CMAKE_BINARY_DIR}/resources;${CMAKE_SOURCE_DIR}/resources")

add_library(quillane_dialog STATIC app/ConfigDialog.cpp)
target_link_libraries(quillane_dialog PUBLIC quillane_logic quillane_platform user32 gdi32)
target_compile_options(quillane_dialog PRIVATE ${warnings})

add_executable(QuillaneConfig WIN32 app/Main.cpp ${resource_script})
target_link_libraries(QuillaneConfig PRIVATE quillane_dialog)
target_link_options(QuillaneConfig PRIVATE -municode)
target_compile_options(QuillaneConfig PRIVATE ${warnings})
add_dependencies(QuillaneConfig quillane_icon)

include(cmake/WindowsTests.cmake)

# Tools for the run and benchmark scripts.
add_executable(demo_driver tools/DemoDriver.cpp)
add_executable(startup_bench tools/StartupBench.cpp)
foreach(tool demo_driver startup_bench)
    target_link_libraries(${tool} PRIVATE program_driver)
    target_link_options(${tool} PRIVATE -municode)
    target_compile_options(${tool} PRIVATE ${warnings})
endforeach()
add_executable(minimal_window WIN32 tools/MinimalWindow.cpp)
target_link_options(minimal_window PRIVATE -municode)
