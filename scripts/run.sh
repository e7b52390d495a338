#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the client and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD_DIR:-$ROOT/build}

if [ "$(id -u)" -eq 0 ]; then bash scripts/install-deps.sh; else sudo bash scripts/install-deps.sh; fi
cmake -G Ninja -S "$ROOT" -B "$BUILD" >/dev/null
ninja -C "$BUILD" -j"$(nproc)" RaveloZent

[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$BUILD/app"
if [ -z "${DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
exec ./RaveloZent
