# cJSON and GoogleTest for both trees, from the Debian packages the bootstrap
# script installs (cJSON's Windows and fuzz builds from Debian's unpacked
# source, so that it is compiled with the tree's own flags).
if(WIN32 OR ENABLE_FUZZERS)
  set(CJSON_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/deps/cjson" CACHE PATH "Unpacked cjson source package")
  if(NOT EXISTS "${CJSON_SOURCE_DIR}/cJSON.c")
    message(FATAL_ERROR "cJSON source not found in ${CJSON_SOURCE_DIR}: run scripts/bootstrap")
  endif()
  add_library(cjson STATIC "${CJSON_SOURCE_DIR}/cJSON.c")
  target_include_directories(cjson SYSTEM PUBLIC "${CJSON_SOURCE_DIR}")
  target_compile_options(cjson PRIVATE -w)
  # A static copy inside our binaries: nothing of it is exported.
  target_compile_definitions(cjson PUBLIC CJSON_HIDE_SYMBOLS)
else()
  find_path(CJSON_INCLUDE_DIR cjson/cJSON.h REQUIRED)
  find_library(CJSON_LIBRARY cjson REQUIRED)
  add_library(cjson INTERFACE)
  target_include_directories(cjson SYSTEM INTERFACE "${CJSON_INCLUDE_DIR}/cjson")
  target_link_libraries(cjson INTERFACE "${CJSON_LIBRARY}")
endif()

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# add_project_test(NAME SOURCES... LIBS ...): one test program = one CTest test.
function(add_project_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TEST_OUTPUT_DIRECTORY})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()

# fuzz_target(NAME SOURCE LIBS...): a libFuzzer target NAME_fuzz in the fuzz
# tree's fuzz/ folder. scripts/fuzz runs it on its corpus, the folder
# fuzz/corpus/NAME beside SOURCE, with the dictionary fuzz/NAME.dict when
# there is one.
function(fuzz_target name source)
  add_executable(${name}_fuzz ${source})
  target_link_libraries(${name}_fuzz PRIVATE ${ARGN})
  target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name}_fuzz PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
