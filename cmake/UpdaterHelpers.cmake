# A plug-in: a shared library the host loads from the program's folder as <name>.so. It
# exports only its entry point and must resolve every symbol it uses at link time.
function(updater_add_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so")
  target_link_libraries(${name} PRIVATE plugin_common ${ARG_LIBS})
  # clang's sanitizer runtimes live in the program alone: in the fuzz build a plug-in finds
  # them there when it is loaded.
  if(NOT UPDATER_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  install(TARGETS ${name} LIBRARY DESTINATION ${UPDATER_INSTALL_BIN_DIR})
endfunction()

# A GoogleTest executable registered with ctest. Tests are discovered when ctest runs,
# so a build never executes test code. PREFIX sets apart the tests of an executable that
# runs test sources another one runs too (built for another target). PROPERTIES are further
# ctest properties of its tests, such as LABELS long and a COST that starts a long test first
# in a parallel run. LONG is a GoogleTest filter for those of its tests that take long: they
# alone get LABELS long and that COST.
function(updater_add_gtest name)
  cmake_parse_arguments(ARG "" "PREFIX;LONG" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(filter "")
  if(ARG_LONG)
    set(filter "-${ARG_LONG}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30 TEST_FILTER "${ARG_LONG}"
                         TEST_PREFIX "${ARG_PREFIX}" PROPERTIES TIMEOUT 120 LABELS long COST 1000 ${ARG_PROPERTIES})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30 TEST_FILTER "${filter}"
                       TEST_PREFIX "${ARG_PREFIX}" PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()
