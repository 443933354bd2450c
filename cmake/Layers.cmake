# Helpers shared by the layer and test directories.

# qem_layer(<target> DEPS <libs...>): a static library of every .cpp in the
# calling directory (Qt glue included when the layer links Qt).
function(qem_layer target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()  # a layer not begun yet
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# qem_test_suite(<name> DIR <dir> DEPS <libs...> [ENV <vars...>]): one GoogleTest
# executable from every .cpp in <dir>, registered with CTest test by test.
function(qem_test_suite name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  # A suite that needs its own main (a QApplication first) keeps it in main.cpp.
  if(NOT EXISTS ${ARG_DIR}/main.cpp)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    QEM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QEM_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${name}."
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}" TIMEOUT 300)
endfunction()
