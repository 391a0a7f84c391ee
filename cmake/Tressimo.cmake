# Each library's headers are visible only to the targets that link it: a library exposes an
# include folder of its own under build/include/<target>/ that holds a link to its source
# folder and nothing else, so "#include "pst/ndb/page.h"" compiles only where
# tressimo_pst_ndb is linked. Including a layer one does not link fails at compile time.

# tressimo_expose(<target> <PUBLIC|INTERFACE> <folder> [HEADERS <files...>])
# Makes <folder> (relative to the source root) includable for <target> and whatever links it;
# with HEADERS, only those files of it.
function(tressimo_expose target scope folder)
  cmake_parse_arguments(ARG "" "" "HEADERS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  if(ARG_HEADERS)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header ${ARG_HEADERS})
      if(NOT EXISTS ${root}/${folder}/${header})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${header} ${root}/${folder}/${header}
             SYMBOLIC COPY_ON_ERROR)
      endif()
    endforeach()
  else()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endif()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()

# tressimo_library(<name> SOURCES <files...> [DEPS <targets...>] [FOLDER <folder>])
# A library of the core; its headers are those of FOLDER (by default the folder of the
# CMakeLists.txt that declares it), included as "<folder>/<file>.h". DEPS are what it may
# include and link.
function(tressimo_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_FOLDER)
    file(RELATIVE_PATH ARG_FOLDER ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  tressimo_expose(${name} PUBLIC ${ARG_FOLDER})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# tressimo_headers(<name> FOLDER <folder> HEADERS <files...> [DEPS <targets...>])
# Headers without code of their own (interfaces), for targets that include them without
# linking an implementation.
function(tressimo_headers name)
  cmake_parse_arguments(ARG "" "FOLDER" "HEADERS;DEPS" ${ARGN})
  add_library(${name} INTERFACE)
  tressimo_expose(${name} INTERFACE ${ARG_FOLDER} HEADERS ${ARG_HEADERS})
  if(ARG_DEPS)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
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
