# Windows test programs built on Linux run under Wine, in a prefix of their
# own inside the build folder, so that a run neither needs nor touches
# ~/.wine. Give CMAKE_CROSSCOMPILING_EMULATOR to run them some other way.
#
# Defines zephran_add_cross_test(target): one test that runs the whole program.
# CMake cannot list the cases of a program run under Wine: the Windows C
# runtime writes CR LF line ends, which gtest_discover_tests takes for part of
# the names, and a filter of such names runs no test and passes.

if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND NOT CMAKE_HOST_WIN32)
  find_program(ZEPHRAN_WINE NAMES wine wine64)
  if(ZEPHRAN_WINE)
    set(ZEPHRAN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix
        CACHE PATH "The Wine prefix the tests run in")
    # No debug chatter; no offer to install Mono or Gecko, which no test needs.
    # One locale whatever the machine's: Wine takes its ANSI code page from
    # it, and this one gives the Western one (1252), which lacks Greek.
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env WINEPREFIX=${ZEPHRAN_WINE_PREFIX} WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8 ${ZEPHRAN_WINE})
    # Wine creates a missing prefix on first use; test programs starting in
    # parallel would all try at once. This runs first and alone.
    add_test(NAME wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init)
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)
    set(ZEPHRAN_WINE_FIXTURE wine_prefix)
  else()
    message(STATUS "Wine not found: the Windows tests are built but not registered")
  endif()
endif()

function(zephran_add_cross_test target)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND NOT CMAKE_HOST_WIN32)
    return()
  endif()
  # add_test puts the target's CROSSCOMPILING_EMULATOR (taken from the
  # variable above when the target was made) in front of the program.
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES TIMEOUT 300)
  if(ZEPHRAN_WINE_FIXTURE)
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED ${ZEPHRAN_WINE_FIXTURE})
  endif()
endfunction()
