# GoogleTest compiled along with the tests, for builds that cannot use an
# installed one: every cross build (the build machine's GoogleTest is for the
# wrong system), and any build given ZEPHRAN_GOOGLETEST_SOURCE, such as a
# Windows build with a clone of https://github.com/google/googletest.
# Debian's googletest package installs the sources in /usr/src/googletest.
set(ZEPHRAN_GOOGLETEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest sources, for builds that compile GoogleTest along")
if(NOT EXISTS ${ZEPHRAN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ZEPHRAN_GOOGLETEST_SOURCE "
                      "(${ZEPHRAN_GOOGLETEST_SOURCE}); on Debian: apt install googletest")
endif()

# GoogleTest's older cmake_minimum_required would otherwise let its option()
# calls override the settings below.
set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
set(BUILD_GMOCK ON)
set(INSTALL_GTEST OFF)
# With MSVC, the tests use the DLL runtime like the rest of the program.
set(gtest_force_shared_crt ON)
add_subdirectory(${ZEPHRAN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# GoogleTest's own build names its targets GTest::gtest, GTest::gtest_main and
# GTest::gmock, as its package does, so the tests link them either way.
foreach(target IN ITEMS GTest::gtest GTest::gtest_main GTest::gmock)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "${ZEPHRAN_GOOGLETEST_SOURCE} does not define ${target}")
  endif()
endforeach()
