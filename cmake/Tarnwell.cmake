# Warnings stop the build only with TARNWELL_WERROR, which `make test` turns on: a build with
# another compiler or other flags than ours still makes a program.
option(TARNWELL_WERROR "Treat compiler warnings in Tarnwell's own code as errors" OFF)

function(tarnwell_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${TARNWELL_WERROR}>:-Werror>)
  # GCC from 12 on at -O3 reports overlapping copies inside std::string where a literal is
  # assigned to a string or joined to one (GCC bug 105329); the -O2 builds keep the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict>)
  endif()
endfunction()

# One static library per subsystem folder, built from the folder's own sources (its ui/ folder is
# a library of its own).
function(tarnwell_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # A folder whose units are still to come.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_compile_definitions(${name} PUBLIC
    TARNWELL_VERSION="${PROJECT_VERSION}"
    TARNWELL_SOURCE_DATA_DIR="${TARNWELL_DATA_DIR}")
  tarnwell_warnings(${name})
endfunction()

# The Qt library of a `<subsystem>/ui/` folder, from the folder's sources and resources (.qrc).
# Only these libraries, their tests and the program link Qt.
function(tarnwell_ui_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Qt6::Widgets)
  tarnwell_warnings(${name})
endfunction()

# Every test ends by this many seconds: a fault that hangs fails its test instead of the run. The
# slowest tests take a few seconds.
set(TARNWELL_TEST_TIMEOUT 60)

# A test program per folder of tests/, from the folder's sources.
function(tarnwell_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tarnwell_test_support GTest::gtest GTest::gtest_main)
  tarnwell_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TARNWELL_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/fixtures"
               TIMEOUT ${TARNWELL_TEST_TIMEOUT})
endfunction()

# The test program of the Qt front end (its main draws the windows offscreen).
function(tarnwell_ui_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tarnwell_test_support Qt6::Widgets Qt6::Test
    GTest::gtest)
  tarnwell_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TARNWELL_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/fixtures"
               TIMEOUT ${TARNWELL_TEST_TIMEOUT})
endfunction()
