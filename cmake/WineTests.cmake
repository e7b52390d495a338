# SPDX-License-Identifier: GPL-3.0-or-later
# One test of the Linux tree runs the Windows build of core/ and net/ (made
# with cmake/toolchain-mingw64.cmake into RAVELO_WIN_BUILD_DIR) under Wine,
# and trades Info.ini files between the two builds. It is skipped when the
# Windows tree or Wine is missing.
set(RAVELO_WIN_BUILD_DIR "${PROJECT_SOURCE_DIR}/build-win" CACHE PATH
    "Cross build of core/ and net/ for Windows, run under Wine by the windows_wine test")
add_test(NAME windows_wine
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-tests.sh ${RAVELO_WIN_BUILD_DIR}
                 $<TARGET_FILE:parity_tests>)
set_tests_properties(windows_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
