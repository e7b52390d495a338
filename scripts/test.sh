#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages), builds everything and runs the
# whole test suite with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD_DIR:-$ROOT/build}

if [ "$(id -u)" -eq 0 ]; then
  bash scripts/install-deps.sh
else
  sudo bash scripts/install-deps.sh
fi

# The configure options are the presets' (CMakePresets.json). CI builds
# with warnings as errors. A compiler launcher (ccache) in the environment
# is taken as it is.
BUILD_WIN=${BUILD_WIN_DIR:-$ROOT/build-win}
extra=()
[ "${CI:-}" = true ] && extra+=(-DRAVELO_WERROR=ON)
cmake --preset default -B "$BUILD" -DRAVELO_WIN_BUILD_DIR="$BUILD_WIN" "${extra[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

# core/ and net/ built for Windows; ctest's windows_wine test runs them under Wine.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake --preset windows -B "$BUILD_WIN" >/dev/null
  cmake --build "$BUILD_WIN" -j"$(nproc)" --target core_tests net_tests win_tests
fi

# The test preset runs the widget tests without a display; as root the test
# programs and the client turn the browser's sandbox off themselves. It runs
# three cases at a time on two cores: many long ones mostly wait (an idle
# stretch, a retry period, a frozen client), and the timed sessions are made
# to hold on a loaded machine.
if [ "$BUILD" = "$ROOT/build" ]; then
  ctest --preset default
else
  cd "$BUILD"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j3
fi
