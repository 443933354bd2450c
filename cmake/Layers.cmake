# Helpers shared by the layer and test directories.

# qem_layer(<target> DEPS <libs...> [QT_ADAPTERS <qt libs...>]): a static library of every .cpp
# in the calling directory and its feature folders below it.
# With QT_ADAPTERS the layer is kept apart from Qt: its *_qt.cpp files (the Qt glue) compile in
# the object library <target>_qt, which sees the Qt libraries' include paths; every other file
# compiles without them, so a Qt include there fails the build. Targets above get Qt's libraries
# when they link, never its include paths. What only the adapters need goes on <target>_qt, e.g.
# target_include_directories(<target>_qt PRIVATE ...).
function(qem_layer target)
  cmake_parse_arguments(ARG "" "" "DEPS;QT_ADAPTERS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()  # a layer not begun yet
  endif()
  set(adapters ${sources})
  if(ARG_QT_ADAPTERS)
    list(FILTER adapters INCLUDE REGEX "_qt\\.cpp$")
    list(FILTER sources EXCLUDE REGEX "_qt\\.cpp$")
  else()
    set(adapters "")
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  if(NOT ARG_QT_ADAPTERS)
    return()
  endif()
  # The Qt-free part has no Qt to generate code for, even where the directory turns AUTOMOC on.
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  if(adapters)
    add_library(${target}_qt OBJECT ${adapters})
    set_target_properties(${target}_qt PROPERTIES AUTOMOC ON)
    target_include_directories(${target}_qt PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target}_qt PRIVATE ${ARG_DEPS} ${ARG_QT_ADAPTERS})
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_qt>)
  endif()
  foreach(lib ${ARG_QT_ADAPTERS})
    target_link_libraries(${target} INTERFACE "$<LINK_ONLY:${lib}>")
  endforeach()
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
