# Stand-ins for the add-in library and the setup toolkit, and the tests that run
# under Wine. Test executables are console programs.

# The .def files name the exports undecorated; on 32-bit x86 the linker maps
# each name to its stdcall symbol (DLLSelfRegister to DLLSelfRegister@4).
function(add_standin_library target output_name source def_file)
    add_library(${target} SHARED ${source} ${def_file})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${warnings})
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
endfunction()

add_standin_library(Quillane Quillane tests/standins/QuillaneStandIn.cpp tests/standins/Quillane.def)
target_link_libraries(Quillane PRIVATE ole32 advapi32 uuid)
add_standin_library(vb6stkit vb6stkit tests/standins/SetupToolkitStandIn.cpp tests/standins/vb6stkit.def)
add_standin_library(vb6stkit_noentry vb6stkit tests/standins/SetupToolkitWithoutEntry.cpp "")
set_target_properties(vb6stkit_noentry PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/noentry
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/noentry-lib)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(wine_test_support STATIC tests/wine/WineTestSupport.cpp tests/wine/ProgramDriver.cpp)
target_include_directories(wine_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(wine_test_support PUBLIC quillane_platform quillane_logic GTest::gtest advapi32 gdi32 user32)

# A small program that the tests copy to odd places and run: it reports what
# the platform services see from there.
add_executable(platform_probe tests/wine/PlatformProbe.cpp)
target_link_libraries(platform_probe PRIVATE quillane_platform)
target_link_options(platform_probe PRIVATE -municode)
target_compile_options(platform_probe PRIVATE ${warnings})

add_executable(platform_tests tests/wine/PlatformServicesTest.cpp tests/wine/AddInListTest.cpp)
target_link_libraries(platform_tests PRIVATE wine_test_support GTest::gtest_main)
target_compile_options(platform_tests PRIVATE ${warnings})
add_dependencies(platform_tests platform_probe Quillane vb6stkit vb6stkit_noentry)

# The whole program, driven from outside.
add_executable(program_tests tests/wine/ProgramTest.cpp)
target_link_libraries(program_tests PRIVATE wine_test_support GTest::gtest_main)
target_compile_options(program_tests PRIVATE ${warnings})
add_dependencies(program_tests QuillaneConfig Quillane vb6stkit vb6stkit_noentry)

# The dialog in-process, and the built program's resources read as data.
add_executable(dialog_tests tests/wine/DialogTest.cpp ${resource_script})
target_link_libraries(dialog_tests PRIVATE quillane_dialog wine_test_support GTest::gtest_main)
target_compile_options(dialog_tests PRIVATE ${warnings} -Wno-missing-field-initializers)
add_dependencies(dialog_tests QuillaneConfig quillane_icon)

# What the build produced, checked as files: these need no Wine, and are named
# for the build they check.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(quillane_build Win32)
else()
    set(quillane_build Win64)
endif()
add_test(NAME Binaries.${quillane_build}.StaticPeWithoutManifestOrTimestamp
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_binaries.sh ${CMAKE_BINARY_DIR}/bin
            ${CMAKE_OBJDUMP} ${CMAKE_SYSTEM_PROCESSOR})
add_test(NAME Binaries.${quillane_build}.SameSourceGivesSameBytes
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/reproducible_build.sh ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/bin ${CMAKE_TOOLCHAIN_FILE})

# The tests that run the build's programs under Wine. Off where this build's
# programs cannot run on the host: the binaries are still checked as files.
option(QUILLANE_WINE_TESTS "Run this build's programs under Wine in the tests" ON)
if(NOT QUILLANE_WINE_TESTS)
    return()
endif()

# Wine's first start is slow: list the tests when they run, not at build time.
include(GoogleTest)
gtest_discover_tests(platform_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_test(NAME AppFolder.DeeperThanMaxPath
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/deep_folder_test.sh $<TARGET_FILE:platform_probe>)
gtest_discover_tests(program_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin PROPERTIES RUN_SERIAL TRUE)
gtest_discover_tests(dialog_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
