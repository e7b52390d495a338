# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# so std::thread works). Use with -DRAVELO_BUILD_CLIENT=OFF: core/, net/,
# platform/ and their tests. The programs are linked statically, so they run
# under Wine (or on Windows) without MinGW's DLLs beside them.
#   cmake -G Ninja -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#         -DRAVELO_BUILD_CLIENT=OFF
#   ninja -C build-win core_tests net_tests win_tests
#   scripts/wine-tests.sh build-win build/tests/win/parity_tests
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RAVELO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RAVELO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAVELO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${RAVELO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RAVELO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest in the cross tree runs the programs through Wine when it is there.
find_program(RAVELO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(RAVELO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RAVELO_WINE})
endif()

# There is no prebuilt GoogleTest for the target: cmake/mingw/FindGTest.cmake
# builds Debian's sources with the tree.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/mingw)
