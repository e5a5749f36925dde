# Test helpers shared by every test folder.
#
#   zv_add_gtest(name SOURCES a.cpp b.cpp LIBS lib... [WINDOWS_ONLY] [NATIVE_ONLY] [TIMEOUT s]
#                [RUN_SERIAL] [FIXTURES f...] [LOCKS l...])
#
# LOCKS names shared resources: "debug_stream" for tests that read the debugger
# stream or change the shared "ZvConfig.ini".
#
# Builds a GoogleTest program and registers it with CTest. In the Windows build the
# program runs under Wine (the toolchain's emulator) and needs the Wine platform fixture.

set(ZV_WINE_STATE_DIR "${CMAKE_BINARY_DIR}/wine-state")
# nginx and the scripted fault server on loopback (the fetcher's tests read their ports here).
set(ZV_HTTP_STATE_DIR "${CMAKE_BINARY_DIR}/http-state")

# A CTest fixture whose script takes "start STATE_DIR" and "stop STATE_DIR": tests
# NAME_start and NAME_stop around every test that requires NAME.
function(zv_add_script_fixture name script state_dir start_timeout)
  add_test(NAME ${name}_start COMMAND bash ${script} start ${state_dir})
  set_tests_properties(${name}_start PROPERTIES FIXTURES_SETUP ${name} TIMEOUT ${start_timeout})
  add_test(NAME ${name}_stop COMMAND bash ${script} stop ${state_dir})
  set_tests_properties(${name}_stop PROPERTIES FIXTURES_CLEANUP ${name} TIMEOUT 60)
endfunction()

macro(zv_setup_gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    message(FATAL_ERROR "GoogleTest sources not found in /usr/src/googletest: run tools/bootstrap.sh")
  endif()

  if(WIN32)
    zv_add_script_fixture(wine_platform ${CMAKE_SOURCE_DIR}/tests/harness/wine-env.sh ${ZV_WINE_STATE_DIR} 300)
    zv_add_script_fixture(http_servers ${CMAKE_SOURCE_DIR}/tests/harness/http-servers.sh ${ZV_HTTP_STATE_DIR} 60)
  endif()
endmacro()

# Marks tests that run programs of the Windows build under Wine: they need the Wine
# platform fixture and find the run's prefix through ZV_WINE_STATE. Appends, so the
# tests' other fixtures and environment stay.
function(zv_wine_tests)
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED wine_platform)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "ZV_WINE_STATE=${ZV_WINE_STATE_DIR}")
endfunction()

function(zv_add_gtest name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;RUN_SERIAL" "TIMEOUT" "SOURCES;LIBS;FIXTURES;LOCKS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()

  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} zv_test_support GTest::gmock GTest::gtest_main zv_warnings)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  if(WIN32)
    zv_wine_tests(${name})
  endif()
  if(T_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
  if(T_RUN_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
