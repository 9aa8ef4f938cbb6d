# The version record's text form of a version: major, minor in two digits and
# revision in four ("1.00.0002"). It has no place for the third number, which
# must stay 0, and a minor number above 99 or a revision above 9999 would
# overflow it; any of these stops the configure step. Also run as a script, to
# print the text form of VERSION:
#   cmake -DVERSION=1.0.0.2 -P cmake/Version.cmake
function(quillane_version_text version out)
    if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.0\\.([0-9]+)$")
        message(FATAL_ERROR "The version must be MAJOR.MINOR.0.REVISION, not ${version}")
    endif()
    set(major ${CMAKE_MATCH_1})
    set(minor ${CMAKE_MATCH_2})
    set(revision ${CMAKE_MATCH_3})
    if(minor GREATER 99 OR revision GREATER 9999 OR major GREATER 65535)
        message(FATAL_ERROR "The version ${version} does not fit the version record's text form "
                            "MAJOR.MM.RRRR: the minor number must be at most 99, the revision at most 9999")
    endif()
    math(EXPR minor_padded "100 + ${minor}")
    math(EXPR revision_padded "10000 + ${revision}")
    string(SUBSTRING ${minor_padded} 1 2 minor_padded)
    string(SUBSTRING ${revision_padded} 1 4 revision_padded)
    set(${out} "${major}.${minor_padded}.${revision_padded}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    quillane_version_text("${VERSION}" text)
    message("${text}")
endif()
