#!/usr/bin/env bash
# The real client binary on a virtual display against the stand-in service,
# driven as a person would with xdotool: log in from the login window,
# place an IP call from the number box, receive a text message. Bounded in
# time; stops everything it started. Usage: binary_e2e.sh BUILD_DIR
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: binary_e2e.sh BUILD_DIR}" && pwd)
export BUILD_DIR
export RUNDIR=/tmp/ravelo-binary-e2e-$$
source "$(dirname "$0")/../../scripts/lib/session.sh"
OUT=$BUILD/binary-e2e
mkdir -p "$OUT"
failures=0
passes=0
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@"; then echo "PASS $name"; passes=$((passes + 1)); else echo "FAIL $name"; failures=$((failures + 1)); fi
}
finish() {
  import -window root "$OUT/last.png" 2>/dev/null || true
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
  exit $?
}

# A fresh log for the day, so earlier runs do not answer for this one.
rm -rf "$BUILD/app/log"
start_standin >"$OUT/standin.log" 2>&1 || { echo "FAIL stand-in did not start (ports busy?)"; echo "0 passed, 1 failed"; exit 1; }
start_xvfb 1366x768 || { echo "0 passed, 1 failed"; exit 1; }
DEMO_AUTOLOGIN=0 prepare_info_ini
unset QT_QPA_PLATFORM
start_client "$OUT/client.log"

window() { xdotool search --name "^RaveloZent 1.3" 2>/dev/null | head -1; }
for _ in $(seq 50); do [ -n "$(window)" ] && break; sleep 0.2; done
sleep 2
# Space in the (focused) login window accepts the stored account.
xdotool key space
check "registration reaches idle" wait_for_log "登录成功" 20
# Without a GPU the client draws in software: no GL rasterizer in the process.
if ! compgen -G "/dev/dri/renderD*" >/dev/null; then
  check "no OpenGL without a GPU" bash -c "! grep -q libLLVM /proc/$CLIENT_PID/maps"
fi

# The number box and the IP-call button, by their places in the window.
eval "$(xdotool getwindowgeometry --shell "$(window)")"
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.3; }
click 257 20                        # PhoneNum
xdotool key ctrl+a
xdotool type --delay 30 10086110001
click 405 19                        # spbAnswer, "IP直拨"
sleep 3                             # rung 1 s, then connected
import -window root "$OUT/in-call.png" 2>/dev/null || true
check "call placed" wait_for_log "calling" 10
check "far end rings" wait_for_log "callring" 10
check "call connected" wait_for_log "callanswer" 10
check "peer hangs up, back to idle" wait_for_log "callend" 15

bash "$ROOT/tools/send_message.sh" 13800138000 "你好，这里是Ravelo" 10086110009 >>"$OUT/standin.log" 2>&1
check "message reaches the log" wait_for_log "你好，这里是Ravelo" 10
finish
