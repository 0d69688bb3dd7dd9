# One line per test program: slimtag_add_test(name SOURCES a.cpp b.cpp LIBS lib... [ENV VAR=value...])
# OWN_MAIN: the sources bring their own main() (a Qt test that must not create its application
# while gtest_discover_tests only lists the tests), so gtest_main is not linked.
#
# Every test gets 60 seconds, however ctest is called: a test that waits for something that never
# comes (a modal box nobody answers) fails instead of holding the suite up.
set(SLIMTAG_TEST_TIMEOUT 60)

function(slimtag_add_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  if(NOT ARG_OWN_MAIN AND NOT ARG_LIBS MATCHES "gtest_main")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "${ARG_ENV}" TIMEOUT ${SLIMTAG_TEST_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()
