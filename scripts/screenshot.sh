#!/usr/bin/env bash
# Starts the client on a virtual display, waits, and saves a picture of the
# whole screen.
#   scripts/screenshot.sh OUT.png [BUILD_DIR] [SECONDS] [WxH]
# SCREENSHOT_KEYS="Escape" sends those keys (xdotool) one second before the
# picture is taken, e.g. to close the login window.
set -euo pipefail
OUT=${1:?usage: screenshot.sh OUT.png [BUILD_DIR] [SECONDS] [WxH]}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${2:-${BUILD_DIR:-$ROOT/build}}
WAIT=${3:-6}
SIZE=${4:-1366x768}
case "$OUT" in /*) ;; *) OUT=$PWD/$OUT ;; esac

for cmd in Xvfb import; do
  command -v "$cmd" >/dev/null || { echo "screenshot.sh: $cmd is missing (xvfb, imagemagick)" >&2; exit 1; }
done
[ -x "$BUILD/app/RaveloZent" ] || { echo "screenshot.sh: $BUILD/app/RaveloZent not built" >&2; exit 1; }

# A display number nobody uses.
N=90
while [ -e /tmp/.X11-unix/X$N ] || [ -e /tmp/.X$N-lock ]; do N=$((N + 1)); done
export DISPLAY=:$N
Xvfb "$DISPLAY" -screen 0 "${SIZE}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
XVFB=$!
CLIENT=
cleanup() {
  [ -n "$CLIENT" ] && kill "$CLIENT" 2>/dev/null && wait "$CLIENT" 2>/dev/null
  kill "$XVFB" 2>/dev/null
  wait "$XVFB" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$N ] && break; sleep 0.1; done

unset QT_QPA_PLATFORM
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
(cd "$BUILD/app" && exec ./RaveloZent) >"${OUT%.png}.log" 2>&1 &
CLIENT=$!
if [ -n "${SCREENSHOT_KEYS:-}" ] && command -v xdotool >/dev/null; then
  sleep "$((WAIT > 1 ? WAIT - 1 : 0))"
  # shellcheck disable=SC2086
  xdotool key $SCREENSHOT_KEYS || true
  sleep 1
else
  sleep "$WAIT"
fi
import -window root "$OUT"
echo "screenshot: $OUT (client output in ${OUT%.png}.log)"
