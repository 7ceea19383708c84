# GoogleTest: the system package on POSIX; on Windows it is compiled from the
# sources Debian installs, because no prebuilt MinGW GoogleTest exists.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(KALINOR_GTEST_LIBS gtest gmock gtest_main)
else()
  find_package(GTest REQUIRED)
  set(KALINOR_GTEST_LIBS GTest::gtest GTest::gmock GTest::gtest_main)
endif()

# kalinor_add_test(name SOURCES ... LIBS ...): one executable, registered with
# CTest once. Under a cross build CTest runs it through the emulator (Wine),
# so every executable is started once, not once per test case.
function(kalinor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KALINOR_GTEST_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
