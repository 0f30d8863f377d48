# Helpers that keep every subsystem's CMakeLists to a line or two.

# Warnings for our own targets only (third-party headers come in as SYSTEM).
function(qv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(QV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# GCC 12 at -O2 warns inside libstdc++'s inlined string and vector copies that tests and
# benchmarks build (GCC bugs 105329, 105651): not our code, and nothing to mend in it.
function(qv_quiet_libstdcxx_copies target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-stringop-overflow)
  endif()
endfunction()

# qv_add_subsystem(<name> [DEPS <libs>...]): a static library qv_<name> from every
# .cpp in the folder and its sub-folders (the folder is the unit; files are added without
# editing CMake).
function(qv_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet\n")
    set(sources ${stub})
  endif()
  add_library(qv_${name} STATIC ${sources})
  target_include_directories(qv_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(qv_${name} PUBLIC ${ARG_DEPS})
  qv_warnings(qv_${name})
endfunction()

# qv_add_sublayers(<name> SUBLAYERS <folder>... DEPS <libs>...): a subsystem laid out by role in
# sub-folders, listed lowest first: one static library qv_<name>_<folder> from each sub-folder's
# .cpp files (and its sub-folders'), linking the sub-libraries listed before it and DEPS, and
# qv_<name> the interface library of them all for the layers above. scripts/check-layers.sh reads
# the list and holds each sub-folder to the ones before it.
function(qv_add_sublayers name)
  cmake_parse_arguments(ARG "" "" "SUBLAYERS;DEPS" ${ARGN})
  set(below)
  foreach(folder ${ARG_SUBLAYERS})
    set(target qv_${name}_${folder})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    if(NOT sources)
      set(stub ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
      file(WRITE ${stub} "// ${name}/${folder} has no sources yet\n")
      set(sources ${stub})
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${below} ${ARG_DEPS})
    qv_warnings(${target})
    list(APPEND below ${target})
  endforeach()
  add_library(qv_${name} INTERFACE)
  target_link_libraries(qv_${name} INTERFACE ${below})
endfunction()

# qv_add_test_suite(<name> [LIBS <libs>...] [ENVIRONMENT <VAR=value>]): one GoogleTest
# executable test_<name> from every .cpp in tests/<name>/ and its sub-folders, registered with
# CTest test by test, each test run with the variable set (one only: test discovery before the
# run drops the separators of a list).
function(qv_add_test_suite name)
  cmake_parse_arguments(ARG "" "ENVIRONMENT" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE QV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  qv_warnings(test_${name})
  qv_quiet_libstdcxx_copies(test_${name})
  set(properties)
  if(ARG_ENVIRONMENT)
    set(properties PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
endfunction()
