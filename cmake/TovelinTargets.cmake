# Helpers shared by every folder's CMakeLists.txt.

# Warnings for the project's own code (not for generated code).
function(tovelin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
    -Wconversion -Wsign-conversion -Wdouble-promotion -Wformat=2
    -Wimplicit-fallthrough)
  if(TOVELIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# tovelin_library(NAME SOURCES ... DEPS ...): a static library of the project.
function(tovelin_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  tovelin_warnings(${name})
endfunction()

# tovelin_test(NAME SOURCES ... DEPS ... [LABEL unit|e2e]): a GoogleTest executable
# registered with ctest. Unit tests also run under the sanitizers.
function(tovelin_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  tovelin_warnings(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} NO_PRETTY_VALUES
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()

# tovelin_folder_library(NAME DEPS ...): the library NAME of every .cpp in the
# calling folder, and the test NAME_tests of every *_test.cpp there.
function(tovelin_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(tests ${sources})
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  list(FILTER tests INCLUDE REGEX "_test\\.cpp$")
  tovelin_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
  if(tests AND NOT TOVELIN_FUZZ)
    tovelin_test(${name}_tests SOURCES ${tests} DEPS ${name})
  endif()
endfunction()
