# Windows builds: the program alone or, with QUILLANE_TEST_BUILD, the stand-ins,
# the tests and the tools, and the program through a build of its own
# (WindowsTests.cmake).
option(QUILLANE_TEST_BUILD "Build the stand-ins, tests and tools too" OFF)

set(QUILLANE_BIN_DIR ${CMAKE_BINARY_DIR}/bin CACHE PATH "Where the executables and DLLs go")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${QUILLANE_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${QUILLANE_BIN_DIR})

# Only Windows' own DLLs at run time, no link timestamp, no paths of this
# machine in the output: the same source gives the same bytes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

set(warnings -Wall -Wextra -Werror)
# The program's code sees only what Windows XP's headers declare, so that a
# call newer than XP does not compile; tests and stand-ins may use Windows 7's.
set(xp_api _WIN32_WINNT=0x0501 WINVER=0x0501)
set(win7_api _WIN32_WINNT=0x0601)
# Every executable's and DLL's header names the oldest Windows it runs on: XP,
# version 5.1 (for the 64-bit test build XP x64, 5.2). The linker's default,
# 4.0, is older than any Windows these run on.
set(xp_minor $<IF:$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>,1,2>)
set(xp_header LINKER:--major-os-version,5,--minor-os-version,${xp_minor}
    LINKER:--major-subsystem-version,5,--minor-subsystem-version,${xp_minor})

add_library(quillane_platform STATIC
    platform/WindowsAnsiPath.cpp
    platform/WindowsLibraries.cpp
    platform/WindowsModulePath.cpp
    platform/WindowsPlatformServices.cpp
    platform/WindowsProcessSetup.cpp)
target_include_directories(quillane_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(quillane_platform PRIVATE ${warnings})
target_compile_definitions(quillane_platform PRIVATE ${xp_api})
target_link_libraries(quillane_platform PUBLIC quillane_logic ole32 user32)

# The icon is drawn as text in resources/icon.txt and made into an .ico here.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(icon_file ${CMAKE_BINARY_DIR}/resources/QuillaneConfig.ico)
add_custom_command(OUTPUT ${icon_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/resources/make_icon.py
            ${CMAKE_SOURCE_DIR}/resources/icon.txt ${icon_file}
    DEPENDS resources/icon.txt resources/make_icon.py)
add_custom_target(quillane_icon DEPENDS ${icon_file})
# The version record's numbers and texts come from the project's version.
include(${CMAKE_SOURCE_DIR}/cmake/Version.cmake)
quillane_version_text(${PROJECT_VERSION} version_text)
set(version_header ${CMAKE_BINARY_DIR}/resources/version.h)
file(CONFIGURE OUTPUT ${version_header} CONTENT [[
#define QUILLANE_VERSION_NUMBERS @PROJECT_VERSION_MAJOR@,@PROJECT_VERSION_MINOR@,@PROJECT_VERSION_PATCH@,@PROJECT_VERSION_TWEAK@
#define QUILLANE_VERSION_TEXT "@version_text@"
]])

set(resource_script ${CMAKE_SOURCE_DIR}/resources/QuillaneConfig.rc)
set_source_files_properties(${resource_script} PROPERTIES
    OBJECT_DEPENDS "${icon_file};${version_header}"
    INCLUDE_DIRECTORIES "${CMAKE_BINARY_DIR}/resources;${CMAKE_SOURCE_DIR}/resources")

add_library(quillane_dialog STATIC app/ConfigDialog.cpp)
target_link_libraries(quillane_dialog PUBLIC quillane_logic quillane_platform user32 gdi32)
target_compile_options(quillane_dialog PRIVATE ${warnings})
target_compile_definitions(quillane_dialog PRIVATE ${xp_api})

if(QUILLANE_TEST_BUILD)
    include(cmake/WindowsTests.cmake)
    return()
endif()

# The program.
add_executable(QuillaneConfig WIN32 app/Main.cpp app/TerminateHandler.cpp ${resource_script})
target_link_libraries(QuillaneConfig PRIVATE quillane_dialog)
target_link_options(QuillaneConfig PRIVATE -municode ${xp_header})
target_compile_options(QuillaneConfig PRIVATE ${warnings})
target_compile_definitions(QuillaneConfig PRIVATE ${xp_api})
add_dependencies(QuillaneConfig quillane_icon)

# Yardsticks for the start-up benchmark, built as the program is: a minimal
# window; the same after the program's own start-up protection; and a timer
# of that protection's preloads.
add_executable(minimal_window WIN32 tools/MinimalWindow.cpp)
add_executable(protected_window WIN32 tools/MinimalWindow.cpp)
target_compile_definitions(protected_window PRIVATE QUILLANE_PROTECTED_START)
add_executable(preload_times tools/PreloadTimes.cpp)
foreach(tool minimal_window protected_window preload_times)
    target_link_options(${tool} PRIVATE -municode ${xp_header})
    target_compile_options(${tool} PRIVATE ${warnings})
    target_link_libraries(${tool} PRIVATE quillane_platform)
endforeach()
