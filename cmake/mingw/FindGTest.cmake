# SPDX-License-Identifier: GPL-3.0-or-later
# GoogleTest for the cross build: compiled from Debian's sources
# (/usr/src/googletest) for the target, giving the same GTest::gtest and
# GTest::gtest_main targets as the host's find_package(GTest).
if(TARGET GTest::gtest_main)
  set(GTest_FOUND TRUE)
  return()
endif()
set(RAVELO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(NOT EXISTS ${RAVELO_GTEST_SOURCE}/CMakeLists.txt)
  set(GTest_FOUND FALSE)
  if(GTest_FIND_REQUIRED)
    message(FATAL_ERROR "GoogleTest sources not found in ${RAVELO_GTEST_SOURCE} (Debian: googletest)")
  endif()
  return()
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${RAVELO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(GTest_FOUND TRUE)
