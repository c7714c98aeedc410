# Helpers shared by the folders' CMakeLists.

# tolmare_logic(name SOURCES ... LIBS ...): a subsystem's logic target. Links QtCore, SQLite
# and zlib at most, never QtWidgets.
function(tolmare_logic name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Core ${ARG_LIBS})
endfunction()

# tolmare_ui(name SOURCES ... LIBS ...): a subsystem's windows.
function(tolmare_ui name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Widgets Qt6::PrintSupport ${ARG_LIBS})
endfunction()

# tolmare_test(name SOURCES ... LIBS ... [LABELS ...]): one Qt Test program, registered with
# CTest. Widget tests run on the offscreen platform; every test finds TBLSCN.DLL beside it.
# Labels: "fast" (the default) or "slow" (tens of seconds: processes killed, big tables), and
# "root" for a program some of whose cases need root (mounts, dropped privileges) and skip
# themselves without it. `ctest -L fast` runs the quick ones.
function(tolmare_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS fast)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TOLMARE_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data;TOLMARE_TBLSCN_STATE=${CMAKE_BINARY_DIR}/tblscn-state.txt;TOLMARE_ARCHIVE_STATE=${CMAKE_BINARY_DIR}/archive-state.txt"
    TIMEOUT 600
    LABELS "${ARG_LABELS}")
endfunction()
