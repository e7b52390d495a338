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

BUILD_WIN=${BUILD_WIN_DIR:-$ROOT/build-win}
cmake -G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAVELO_WIN_BUILD_DIR="$BUILD_WIN" >/dev/null
ninja -C "$BUILD" -j"$(nproc)"

# core/ and net/ built for Windows; ctest's windows_wine test runs them under Wine.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  cmake -G Ninja -S "$ROOT" -B "$BUILD_WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" \
    -DRAVELO_BUILD_CLIENT=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C "$BUILD_WIN" -j"$(nproc)" core_tests net_tests win_tests
fi

# Widget tests run without a display; the browser engine needs its sandbox
# off when running as root.
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$BUILD"
ctest --output-on-failure --timeout 300 -j2
