# Host build: the platform-neutral logic and its unit tests, under the sanitizers.
set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(quillane_logic PRIVATE ${sanitizers})
target_compile_options(quillane_kit PRIVATE ${sanitizers})

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(unit_tests tests/unit/RegistrationTest.cpp tests/unit/DialogRulesTest.cpp
    tests/unit/PathRulesTest.cpp tests/unit/TextTest.cpp)
target_link_libraries(unit_tests PRIVATE quillane_logic GTest::gtest_main)
target_compile_options(unit_tests PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers ${sanitizers})
target_link_options(unit_tests PRIVATE ${sanitizers})

# The kit's core, against zlib as the independent reference for DEFLATE and CRC-32.
find_package(ZLIB REQUIRED)
add_executable(kit_tests tests/unit/KitHashTest.cpp tests/unit/KitInflateTest.cpp
    tests/unit/KitArchiveTest.cpp tests/unit/KitReleaseCheckTest.cpp tests/unit/KitJournalTest.cpp
    tests/unit/KitResultsTest.cpp)
target_link_libraries(kit_tests PRIVATE quillane_kit ZLIB::ZLIB GTest::gtest_main)
target_compile_options(kit_tests PRIVATE -Wall -Wextra -Werror ${sanitizers})
target_link_options(kit_tests PRIVATE ${sanitizers})
# The release check is tried on the guide that the release is made from.
target_compile_definitions(kit_tests PRIVATE QUILLANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

include(GoogleTest)
gtest_discover_tests(unit_tests)
gtest_discover_tests(kit_tests)

# The release's date comes from the sources in any kind of checkout.
add_test(NAME Release.SourceDateInAnyCheckout
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_source_date.sh ${CMAKE_SOURCE_DIR})

# Versions that the version record's text form cannot hold stop the configure step.
foreach(version 1.100.0.2 1.0.0.10000)
    add_test(NAME Release.VersionTooLargeForTheRecord.${version}
        COMMAND ${CMAKE_COMMAND} -DVERSION=${version} -P ${CMAKE_SOURCE_DIR}/cmake/Version.cmake)
    set_tests_properties(Release.VersionTooLargeForTheRecord.${version} PROPERTIES
        PASS_REGULAR_EXPRESSION "minor number must be at most 99, the revision at most")
endforeach()
add_test(NAME Release.VersionInTheRecordsTextForm
    COMMAND ${CMAKE_COMMAND} -DVERSION=12.99.0.9999 -P ${CMAKE_SOURCE_DIR}/cmake/Version.cmake)
set_tests_properties(Release.VersionInTheRecordsTextForm PROPERTIES PASS_REGULAR_EXPRESSION "^12\\.99\\.9999\n$")

# The release folder's rules, each case on folders of the test's own.
add_test(NAME Release.FolderRules COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/binaries/release_folder_test.py)
