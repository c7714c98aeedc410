# Test: the changelog's newest version, the project's version and what `tolmare-cli --version`
# prints are one. Run as cmake -DCHANGELOG=... -DVERSION=... -DCLI=... -P CheckVersion.cmake
include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)
tolmare_changelog(${CHANGELOG} versions dates)
list(GET versions 0 newest)
execute_process(COMMAND ${CLI} --version OUTPUT_VARIABLE printed RESULT_VARIABLE rc
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT newest STREQUAL VERSION)
  message(FATAL_ERROR "debian/changelog says ${newest}, project(VERSION) says ${VERSION}")
endif()
if(NOT rc EQUAL 0 OR NOT printed STREQUAL "tolmare-cli ${VERSION}")
  message(FATAL_ERROR "tolmare-cli --version printed '${printed}' (exit ${rc}), not ${VERSION}")
endif()
list(LENGTH versions n)
list(LENGTH dates d)
if(NOT n EQUAL d)
  message(FATAL_ERROR "debian/changelog: ${n} entries but ${d} dated trailers")
endif()
