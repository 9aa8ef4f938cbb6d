# The test build: the program through a build of its own, the stand-ins for
# the add-in library and the setup toolkit, the tests that run under Wine, and
# the tools. Test executables are console programs.

# A folder once configured for the posix flavour keeps its compiler: CMake
# reads the compiler it found first, whatever the toolchain file now says.
if(NOT CMAKE_CXX_COMPILER MATCHES "-win32$")
    message(FATAL_ERROR "${CMAKE_BINARY_DIR} was configured with ${CMAKE_CXX_COMPILER}; everything is "
        "now built in mingw-w64's win32 thread flavour: delete that folder and configure again")
endif()

# Every one starts on Windows XP: its header says so.
add_link_options(${xp_header})

# The program as it ships: the same sources, built alone in program/, and put
# beside everything else in bin/.
include(ExternalProject)
ExternalProject_Add(quillane_program
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/program
    CMAKE_ARGS --toolchain ${CMAKE_TOOLCHAIN_FILE} -DQUILLANE_TEST_BUILD=OFF
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DQUILLANE_BIN_DIR=${QUILLANE_BIN_DIR}
    BUILD_ALWAYS TRUE
    BUILD_BYPRODUCTS ${QUILLANE_BIN_DIR}/QuillaneConfig.exe
    INSTALL_COMMAND "")

# The .def files name the exports undecorated; on 32-bit x86 the linker maps
# each name to its stdcall symbol (DLLSelfRegister to DLLSelfRegister@4).
function(add_standin_library target output_name source def_file)
    add_library(${target} SHARED ${source} ${def_file})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output_name})
    target_compile_options(${target} PRIVATE ${warnings})
    target_compile_definitions(${target} PRIVATE ${win7_api})
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
endfunction()

add_standin_library(Quillane Quillane tests/standins/QuillaneStandIn.cpp tests/standins/Quillane.def)
target_link_libraries(Quillane PRIVATE ole32 advapi32 uuid)
add_standin_library(vb6stkit vb6stkit tests/standins/SetupToolkitStandIn.cpp tests/standins/vb6stkit.def)
add_standin_library(vb6stkit_noentry vb6stkit tests/standins/SetupToolkitWithoutEntry.cpp "")
set_target_properties(vb6stkit_noentry PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${QUILLANE_BIN_DIR}/noentry
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/noentry-lib)

# A system DLL's look-alike, to be planted beside the program.
add_standin_library(planted_uxtheme uxtheme tests/standins/PlantedLibrary.cpp "")
set_target_properties(planted_uxtheme PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${QUILLANE_BIN_DIR}/planted
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted-lib)
target_include_directories(planted_uxtheme PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

# A server of a process of its own, for a class registered that way.
add_executable(local_server_standin WIN32 tests/standins/LocalServerStandIn.cpp)
target_include_directories(local_server_standin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_options(local_server_standin PRIVATE -municode)
target_compile_options(local_server_standin PRIVATE ${warnings})

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# GoogleTest on Win32's own threads, with a Notification of ours: its stock one
# needs std::mutex, which this thread flavour lacks. Ours comes first for
# GoogleTest and for every program that includes it.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_include_directories(gtest BEFORE PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/gtest-custom)

# Drives the running program from outside: for the program tests, the demo and
# the benchmark.
add_library(program_driver INTERFACE)
target_include_directories(program_driver INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(program_driver INTERFACE ${win7_api})
target_link_libraries(program_driver INTERFACE gdi32 user32)

add_library(wine_test_support INTERFACE)
target_link_libraries(wine_test_support INTERFACE program_driver quillane_platform quillane_kit_windows advapi32 uuid)

# The whole program, driven from outside.
add_executable(program_tests tests/wine/ProgramTest.cpp tests/wine/TestMain.cpp)
target_link_libraries(program_tests PRIVATE quillane_dialog wine_test_support GTest::gtest)
target_compile_options(program_tests PRIVATE ${warnings} -Wno-missing-field-initializers)
add_dependencies(program_tests quillane_program Quillane vb6stkit vb6stkit_noentry planted_uxtheme)

# The dialog and the platform services in-process: the program's sources, built
# here again.
add_executable(in_process_tests tests/wine/InProcessTest.cpp tests/wine/TestMain.cpp ${resource_script})
target_link_libraries(in_process_tests PRIVATE quillane_dialog wine_test_support GTest::gtest)
target_compile_options(in_process_tests PRIVATE ${warnings})
add_dependencies(in_process_tests quillane_icon Quillane vb6stkit local_server_standin)

# The session's colours, for the kit's check to compare.
add_executable(session_colours tests/wine/SessionColours.cpp)
target_compile_options(session_colours PRIVATE ${warnings})

# Tools for the run and benchmark scripts; the benchmark's yardsticks come
# with the program.
add_executable(demo_driver tools/DemoDriver.cpp)
add_executable(startup_bench tools/StartupBench.cpp)
foreach(tool demo_driver startup_bench)
    target_link_libraries(${tool} PRIVATE program_driver)
    target_link_options(${tool} PRIVATE -municode)
    target_compile_options(${tool} PRIVATE ${warnings})
endforeach()

# The test kit's runner, which a publisher starts on a Windows machine through
# RUN-TESTS.cmd; built, as the program is, against Windows XP's headers. What
# it saves and puts back serves the tests too.
add_library(quillane_kit_windows STATIC kit/WindowsChild.cpp kit/WindowsMachine.cpp kit/WindowsMachineState.cpp)
target_link_libraries(quillane_kit_windows PUBLIC quillane_kit advapi32 user32 gdi32)
target_compile_options(quillane_kit_windows PRIVATE ${warnings})
target_compile_definitions(quillane_kit_windows PRIVATE ${xp_api})
add_executable(kit_runner kit/WindowsKitRunner.cpp)
target_link_libraries(kit_runner PRIVATE quillane_kit_windows quillane_platform)
target_link_options(kit_runner PRIVATE -municode)
target_compile_options(kit_runner PRIVATE ${warnings})
target_compile_definitions(kit_runner PRIVATE ${xp_api})
# Everything scripts/kit.sh puts in the kit besides the release.
add_custom_target(kit_files DEPENDS kit_runner program_tests in_process_tests Quillane vb6stkit vb6stkit_noentry
    planted_uxtheme local_server_standin)

# What the build produced, checked as files: these need no Wine, and are named
# for the build they check.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(quillane_build Win32)
    # Every executable and DLL in bin/ and below, the program, the stand-ins,
    # the tests and the tools, starts on Windows XP SP3: its header asks for
    # 5.1 and it imports nothing XP lacks.
    add_test(NAME Binaries.Win32.EveryBinaryStartsOnWindowsXP
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_windows_xp.sh ${CMAKE_OBJDUMP}
                ${QUILLANE_BIN_DIR} ${CMAKE_SOURCE_DIR}/tests/binaries/xp-exports)
else()
    set(quillane_build Win64)
endif()
add_test(NAME Binaries.${quillane_build}.StaticPeWithoutManifestOrTimestamp
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_binaries.sh ${QUILLANE_BIN_DIR}
            ${CMAKE_OBJDUMP} ${CMAKE_SYSTEM_PROCESSOR} ${PROJECT_VERSION})
add_test(NAME Binaries.${quillane_build}.SameSourceGivesSameBytes
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/reproducible_build.sh ${CMAKE_SOURCE_DIR}
            ${QUILLANE_BIN_DIR} ${CMAKE_TOOLCHAIN_FILE})

# The tests that run the build's programs under Wine. Off where this build's
# programs cannot run on the host: the binaries are still checked as files.
option(QUILLANE_WINE_TESTS "Run this build's programs under Wine in the tests" ON)
if(NOT QUILLANE_WINE_TESTS)
    return()
endif()

# Wine's first start is slow: list the tests when they run, not at build time.
include(GoogleTest)
gtest_discover_tests(program_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${QUILLANE_BIN_DIR} PROPERTIES RUN_SERIAL TRUE)
gtest_discover_tests(in_process_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${QUILLANE_BIN_DIR})
# Outside a prefix of the project's scripts the test programs refuse to run.
add_test(NAME TestPrograms.RefuseOutsideATestPrefix
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/check_refusal.sh ${QUILLANE_BIN_DIR})
set_tests_properties(TestPrograms.RefuseOutsideATestPrefix PROPERTIES RUN_SERIAL TRUE)
# The prefix holds the scripts' settings at every run, whatever earlier runs did.
add_test(NAME TestPrograms.PrefixHoldsTheScriptsSettings
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/check_prefix.sh)
set_tests_properties(TestPrograms.PrefixHoldsTheScriptsSettings PROPERTIES RUN_SERIAL TRUE)
