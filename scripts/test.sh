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

cmake -G Ninja -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$BUILD" -j"$(nproc)"

# Widget tests run without a display; the browser engine needs its sandbox
# off when running as root.
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$BUILD"
ctest --output-on-failure --timeout 300 -j2
