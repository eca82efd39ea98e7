# Adds one GoogleTest executable that reaches the library's internals through the static library.
#   ov_add_test(NAME SOURCES a.cpp b.cpp [LIBS extra])
# Every test process starts in a private temporary home (tests/support/TestMain.cpp), so no test
# touches the real user's files or the named mutexes of a running program.
function(ov_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ov_test_support ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "OV_TEST_BIN_DIR=${CMAKE_BINARY_DIR}")
endfunction()
