# GoogleTest: the system package on POSIX. For Windows it is compiled from
# source with the project's own compiler and flags: the sources Debian's
# googletest package installs for the MinGW cross build, or any GoogleTest
# source tree named by KALINOR_GOOGLETEST_SOURCE (an MSVC build on Windows);
# failing both, an installed GoogleTest package (vcpkg, Conan).
if(WIN32)
  set(KALINOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
      "GoogleTest source tree compiled for the Windows build")
  if(EXISTS ${KALINOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
    # Follow the project's C runtime choice (only MSVC has one to make).
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    # Its warnings are not ours to fix. GoogleTest adds -WX to its own
    # flags under MSVC whatever the project asks, so that is taken out too.
    set(kalinor_werror ${CMAKE_COMPILE_WARNING_AS_ERROR})
    set(CMAKE_COMPILE_WARNING_AS_ERROR OFF)
    add_subdirectory(${KALINOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(CMAKE_COMPILE_WARNING_AS_ERROR ${kalinor_werror})
    foreach(target gtest gtest_main gmock gmock_main)
      get_target_property(flags ${target} COMPILE_FLAGS)
      if(flags)
        string(REGEX REPLACE "(^| )[-/]WX( |$)" " " flags "${flags}")
        set_target_properties(${target} PROPERTIES COMPILE_FLAGS "${flags}")
      endif()
    endforeach()
    set(KALINOR_GTEST_LIBS gtest gmock)
  else()
    find_package(GTest CONFIG REQUIRED)
    set(KALINOR_GTEST_LIBS GTest::gtest GTest::gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  set(KALINOR_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

# The tests' own main (in place of gtest_main): on Windows it initialises
# COM, which the program gets from MAPI's start.
add_library(kalinor_test_main STATIC
            ${CMAKE_SOURCE_DIR}/tests/support/main/${KALINOR_PLATFORM}/test_main.cpp)
target_link_libraries(kalinor_test_main PUBLIC ${KALINOR_GTEST_LIBS})
if(WIN32)
  target_link_libraries(kalinor_test_main PUBLIC ole32)
endif()

# kalinor_add_test(name SOURCES ... LIBS ...): one executable, registered with
# CTest once. Under a cross build CTest runs it through the emulator (Wine),
# so every executable is started once, not once per test case.
function(kalinor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kalinor_test_main ${KALINOR_GTEST_LIBS})
  kalinor_link_standins(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    # Nothing here can run it (the 32-bit build has no Wine): built only.
    set_tests_properties(${name} PROPERTIES DISABLED TRUE)
  elseif(WIN32)
    # The Windows tests share one registry (the Wine prefix's, or the
    # machine's): run one at a time, so that one test's values never show
    # in another's.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK kalinor_windows_registry)
  endif()
endfunction()
