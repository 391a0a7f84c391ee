# tressimo_library(<name> SOURCES <files...> [DEPS <targets...>])
# A library of the core. Headers are included as "<folder>/<file>.h" from the source root.
function(tressimo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# tressimo_test(<name> SOURCES <files...> [DEPS <targets...>])
# A GoogleTest executable; each test case becomes its own CTest test.
function(tressimo_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TRESSIMO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TRESSIMO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # Generous: under wine the first listing may start wine itself.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
