# Helpers that turn a folder of test sources into one test program.
find_package(GTest REQUIRED)
include(GoogleTest)

add_custom_target(unit_tests)

# zorvane_unit_tests(<area> LIBS <libs...>): every .cpp in tests/unit/<area>/ becomes one
# GoogleTest program unit_<area>; its tests carry the CTest label "unit".
function(zorvane_unit_tests area)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(unit_${area} ${sources})
  target_link_libraries(unit_${area} PRIVATE ${ARG_LIBS} zorvane_test_support GTest::gtest GTest::gmock
                        GTest::gtest_main)
  target_include_directories(unit_${area} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(unit_${area} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS unit
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin DISCOVERY_TIMEOUT 30)
  add_dependencies(unit_tests unit_${area})
endfunction()

# zorvane_library(<name> DEPS <libs...>): every .cpp in the calling folder becomes the static
# library <name>; includes are rooted at src/ and include/.
function(zorvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC zorvane_core ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE zorvane_core ${ARG_DEPS})
  endif()
endfunction()

# Independent readers and writers used only by tests and benchmarks.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CFITSIO REQUIRED IMPORTED_TARGET cfitsio)
pkg_check_modules(LIBTIFF REQUIRED IMPORTED_TARGET libtiff-4)
