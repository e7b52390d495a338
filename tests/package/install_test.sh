#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user meets it: built from the build tree, checked
# by lintian and the desktop validators, installed with apt-get into a
# throw-away copy of this machine (an overlay of / in a mount namespace of
# its own, so the machine's own dpkg is never touched), then started as a
# normal user on a virtual display against the stand-in service. The user
# logs in; the settings and the log must appear in that user's folders, the
# tones must come from the package, "查看日志" must open the new log. Removing
# and purging the package must leave the user's files alone.
#   install_test.sh BUILD_DIR        (root; run it through tests/isolated.sh)
set -uo pipefail
BUILD=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=$BUILD/package-test
USER_NAME=ravelo-user
ACCOUNT=13800138000
PASSWORD=123456

if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
  echo "SKIP: needs root and mount namespaces"
  exit 77
fi

if [ -z "${RAVELO_PKG_STAGE:-}" ]; then
  rm -rf "$OUT" && mkdir -p "$OUT"
  failures=0
  passes=0
  check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@" >>"$OUT/checks.log" 2>&1; then
      echo "PASS $name"
      passes=$((passes + 1))
    else
      echo "FAIL $name (see $OUT/checks.log)"
      failures=$((failures + 1))
    fi
  }

  # Build the package from this tree.
  if ! cpack --config "$BUILD/CPackConfig.cmake" -B "$OUT/deb" >"$OUT/cpack.log" 2>&1; then
    echo "FAIL package build (see $OUT/cpack.log)"
    echo "0 passed, 1 failed"
    exit 1
  fi
  DEB=$(ls "$OUT"/deb/ravelozent_*.deb)
  dpkg-deb -x "$DEB" "$OUT/contents"
  check "lintian reports no error" lintian --fail-on error --allow-root "$DEB"
  check "desktop entry is valid" desktop-file-validate "$OUT"/contents/usr/share/applications/*.desktop
  check "AppStream metainfo is valid" appstreamcli validate --no-net "$OUT"/contents/usr/share/metainfo/*.xml
  icons=$(find "$OUT/contents/usr/share/icons/hicolor" -name ravelozent.png | wc -l)
  check "icons at eight sizes" test "$icons" -eq 8

  # The rest happens in the throw-away root; its verdicts come back as lines.
  RAVELO_PKG_STAGE=inside DEB=$DEB unshare -m --propagation private bash "$0" "$BUILD" >"$OUT/inside.log" 2>&1
  grep -E '^(PASS|FAIL) ' "$OUT/inside.log"
  inside_pass=$(grep -c '^PASS ' "$OUT/inside.log")
  inside_fail=$(grep -c '^FAIL ' "$OUT/inside.log")
  grep -q '^DONE$' "$OUT/inside.log" || { echo "FAIL the installed run did not finish (see $OUT/inside.log)"; inside_fail=$((inside_fail + 1)); }
  passes=$((passes + inside_pass))
  failures=$((failures + inside_fail))
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
  exit $?
fi

# ---- inside a mount namespace of our own: an overlay of / becomes the root ----
set -e
TOP=$(mktemp -d /tmp/ravelo-pkgroot.XXXXXX)
mount -t tmpfs -o size=4g tmpfs "$TOP"
mkdir "$TOP/upper" "$TOP/work" "$TOP/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$TOP/upper,workdir=$TOP/work" "$TOP/root"
NEW=$TOP/root
mount --rbind /dev "$NEW/dev"
mount --rbind /sys "$NEW/sys"
mount -t proc proc "$NEW/proc"
mount -t tmpfs tmpfs "$NEW/tmp"
mount -t tmpfs tmpfs "$NEW/run"
# The tree and the build as they are (they may live on another file system).
mkdir -p "$NEW$ROOT" "$NEW$BUILD" "$NEW/tmp/deb"
mount --bind "$ROOT" "$NEW$ROOT"
[ "${BUILD#"$ROOT"/}" = "$BUILD" ] && mount --bind "$BUILD" "$NEW$BUILD"
cp "$DEB" "$NEW/tmp/deb/"
mkdir "$NEW/.host"
cd "$NEW"
pivot_root . .host
cd /
umount -l /.host
rmdir /.host
set +e

check() { # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; else echo "FAIL $name"; fi
  echo "at $SECONDS s"
}
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  bash "$ROOT/tools/standin.sh" stop >/dev/null 2>&1
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
check "apt-get installs the package with what it declares" \
  apt-get install -y -q --no-install-recommends -o Acquire::Retries=0 /tmp/deb/ravelozent_*.deb
check "launcher command on the PATH" test -x /usr/bin/ravelozent

# A normal user, with a recording opener in place of the desktop's viewer.
useradd -m -s /bin/bash "$USER_NAME"
HOME_DIR=/home/$USER_NAME
USER_ID=$(id -u "$USER_NAME")
install -d -o "$USER_NAME" -m 700 "/run/user/$USER_ID"
install -d -o "$USER_NAME" "$HOME_DIR/bin"
printf '#!/bin/sh\necho "$@" >>%s/opened.txt\n' "$HOME_DIR" >"$HOME_DIR/bin/xdg-open"
chmod 755 "$HOME_DIR/bin/xdg-open"

export RUNDIR=/tmp/standin
bash "$ROOT/tools/standin.sh" start >/tmp/standin.log 2>&1 || { echo "FAIL stand-in did not start"; cat /tmp/standin.log; }
Xvfb :5 -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:5
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X5 ] && break; sleep 0.1; done
# Which tone files the client opens.
inotifywait -m -q -e open --format '%w%f' /usr/share/ravelozent/sound >/tmp/tones.txt 2>/dev/null &
pids+=($!)

start_client() {
  (cd "$HOME_DIR" && exec runuser -u "$USER_NAME" -- env -i HOME="$HOME_DIR" USER="$USER_NAME" \
    PATH="$HOME_DIR/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="/run/user/$USER_ID" LANG=C.UTF-8 \
    ravelozent) >>"$OUT/client.log" 2>&1 &
  CLIENT=$!
  pids=("$CLIENT" "${pids[@]}")
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
wait_for() { # wait_for SECONDS COMMAND...
  local limit=$1
  shift
  for _ in $(seq $((limit * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
LOG=$HOME_DIR/.local/state/RaveloZent/log/${ACCOUNT}_$(date +%Y%m%d).txt
INI=$HOME_DIR/.config/RaveloZent/Info.ini
log_has() { [ -f "$LOG" ] && iconv -f GBK -t UTF-8 -c "$LOG" | grep -q -- "$1"; }

start_client
# First start: no account yet, so the login window asks for one.
login_window() { login=$(window "用户登录") && [ -n "$login" ]; }
check "login window comes up" wait_for 40 login_window
if [ -z "${login:-}" ]; then
  echo "FAIL no login window: nothing more to try"
  exit 1
fi
sleep 1
eval "$(xdotool getwindowgeometry --shell "$login")"
xdotool mousemove $((X + 290)) $((Y + 133)) click 1
xdotool type --delay 30 "$ACCOUNT"
xdotool mousemove $((X + 290)) $((Y + 170)) click 1
xdotool type --delay 30 "$PASSWORD"
xdotool key space
check "registration reaches idle" wait_for 30 log_has "登录成功"
import -window root "$OUT/installed-logged-in.png" 2>/dev/null

# The user's settings: the provider's values, the new account, enciphered.
"$BUILD/tools/ravelo_make_ini" /tmp "$ACCOUNT" "$PASSWORD" 0 gmcc
check "Info.ini in the user's config folder" test -f "$INI"
check "it holds the provider's values" grep -q '^PID=' "$INI"
tr -d '\r' </tmp/Info.ini >/tmp/expected.ini
check "it holds the account enciphered" grep -qx "$(grep '^account=' /tmp/expected.ini)" <(tr -d '\r' <"$INI")
check "it holds the password enciphered" grep -qx "$(grep '^pwd=' /tmp/expected.ini)" <(tr -d '\r' <"$INI")
check "the user's folder is the user's alone" test "$(stat -c %a "$(dirname "$INI")")" = 700
# Lines logged before the login went to the file of the empty account.
check "the start-up lines in the user's state folder" \
  grep -q "正在启动Ravelo" <(iconv -f GBK -t UTF-8 -c "$(dirname "$LOG")/_$(date +%Y%m%d).txt")
check "the login tone came from the package" grep -q 'login.wav' /tmp/tones.txt
check "autostart names the launcher's command" grep -q '^Exec="*ravelozent"*$' "$HOME_DIR/.config/autostart/RaveloZent.desktop"
check "nothing written beside the program" test "$(ls /usr/lib/ravelozent | sort | tr '\n' ' ')" = "RaveloZent libzent_softphone.so "
check "nothing written in the working folder" test ! -e "$HOME_DIR/log" -a ! -e "$HOME_DIR/Info.ini"

# "查看日志" from the main window's menu (a right click on its top strip).
main=$(window '^RaveloZent 1.3')
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 640)) $((Y + 20)) click 3
sleep 1
xdotool key Down Down Down Down Down Return
check "查看日志 opens today's log in its new place" wait_for 10 grep -q "$LOG" "$HOME_DIR/opened.txt"
kill "$CLIENT" 2>/dev/null
wait "$CLIENT" 2>/dev/null

# Removing the package, then purging it, leaves every file of the user's.
before=$(cd "$HOME_DIR" && find .config .local -type f -print0 | sort -z | xargs -0 sha256sum)
apt-get remove -y -q ravelozent >/tmp/remove.log 2>&1
check "remove takes the program away" test ! -e /usr/lib/ravelozent/RaveloZent -a ! -e /usr/bin/ravelozent
check "remove keeps the provider's Info.ini" test -f /etc/ravelozent/Info.ini
apt-get purge -y -q ravelozent >>/tmp/remove.log 2>&1
check "purge takes the provider's Info.ini away" test ! -e /etc/ravelozent
after=$(cd "$HOME_DIR" && find .config .local -type f -print0 | sort -z | xargs -0 sha256sum)
check "the user's files survive remove and purge" test -n "$before" -a "$before" = "$after"
echo DONE
