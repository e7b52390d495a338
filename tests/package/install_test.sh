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

  echo "start at $SECONDS s" >>"$OUT/checks.log"
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

  echo "checked at $SECONDS s" >>"$OUT/checks.log"
  # The rest happens in the throw-away root; its verdicts come back as lines.
  TOP=$(mktemp -d /tmp/ravelo-pkgroot.XXXXXX)
  RAVELO_PKG_STAGE=inside DEB=$DEB TOP=$TOP unshare -m --propagation private bash "$0" "$BUILD" >"$OUT/inside.log" 2>&1
  rmdir "$TOP"
  echo "inside done at $SECONDS s" >>"$OUT/checks.log"
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
# An apt run on the machine meanwhile must not change the package database
# under this copy, so the copy takes a database of its own.
cp -a /var/lib/dpkg /var/lib/dpkg.own && rm -rf /var/lib/dpkg && cp -a /var/lib/dpkg.own /var/lib/dpkg && rm -rf /var/lib/dpkg.own
# The manual page index is not what is tested here, and it takes long.
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
check "apt-get installs the package with what it declares" \
  apt-get install -y -q --no-install-recommends -o Acquire::Retries=0 /tmp/deb/ravelozent_*.deb
check "launcher command on the PATH" test -x /usr/bin/ravelozent

# A normal user, with a recording opener in place of the desktop's viewer.
useradd -m -s /bin/bash "$USER_NAME"
HOME_DIR=/home/$USER_NAME
USER_ID=$(id -u "$USER_NAME")
install -d -o "$USER_NAME" -m 700 "/run/user/$USER_ID"
install -d -o "$USER_NAME" "$HOME_DIR/bin" "$HOME_DIR/.config/fcitx5"
printf '#!/bin/sh\necho "$@" >>%s/opened.txt\n' "$HOME_DIR" >"$HOME_DIR/bin/xdg-open"
chmod 755 "$HOME_DIR/bin/xdg-open"
# The user's input method: pinyin beside the plain keyboard.
cp "$ROOT/tests/package/fcitx5-profile" "$HOME_DIR/.config/fcitx5/profile"
chown -R "$USER_NAME" "$HOME_DIR/.config"
cp "$BUILD/tests/package/ravelo_sni_watcher" /usr/local/bin/

export RUNDIR=/tmp/standin
bash "$ROOT/tools/standin.sh" start >/tmp/standin.log 2>&1 || { echo "FAIL stand-in did not start"; cat /tmp/standin.log; }
Xvfb :5 -screen 0 1366x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:5
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X5 ] && break; sleep 0.1; done
# Which tone files the client opens.
inotifywait -m -q -e open --format '%w%f' /usr/share/ravelozent/sound >/tmp/tones.txt 2>/dev/null &
pids+=($!)

user_cmd() { # the user's session: display, session bus, input method
  USER_CMD=(setpriv --reuid="$USER_ID" --regid="$(id -g "$USER_NAME")" --init-groups
    env -i HOME="$HOME_DIR" USER="$USER_NAME" PATH="$HOME_DIR/bin:/usr/local/bin:/usr/bin:/bin" DISPLAY="$DISPLAY"
    XDG_RUNTIME_DIR="/run/user/$USER_ID" DBUS_SESSION_BUS_ADDRESS="${BUS:-}" LANG=C.UTF-8 QT_IM_MODULE=fcitx)
}
as_user() { user_cmd && "${USER_CMD[@]}" "$@"; }
background() { # background LOGFILE COMMAND...: started as the user in the home folder
  local out=$1
  shift
  user_cmd
  (cd "$HOME_DIR" && exec "${USER_CMD[@]}" "$@" >>"$out" 2>&1) &
  LAST=$!
  pids=("$LAST" "${pids[@]}")
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

# The user's private session bus with a tray host (StatusNotifierItem
# watcher) and the input method on it, as a desktop session would have.
BUS=$(as_user dbus-daemon --session --fork --print-address=1 --print-pid=2 2>/tmp/bus.pid)
pids+=("$(cat /tmp/bus.pid)")
background /tmp/watcher.txt ravelo_sni_watcher
background /tmp/fcitx5.log fcitx5 --disable=all \
  --enable=keyboard,pinyin,punctuation,quickphrase,xcb,dbus,dbusfrontend,notifications,classicui
wait_for 10 grep -q WATCHING /tmp/watcher.txt
wait_for 10 as_user fcitx5-remote >/dev/null

background "$OUT/client.log" ravelozent
CLIENT=$LAST
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
tr -d '\r' </tmp/Info.ini >/tmp/expected.ini
check "Info.ini in the user's config folder" test -f "$INI"
check "it holds the provider's values" grep -q '^PID=' "$INI"
check "it holds the account enciphered" grep -qx "$(grep '^account=' /tmp/expected.ini)" <(tr -d '\r' <"$INI")
check "it holds the password enciphered" grep -qx "$(grep '^pwd=' /tmp/expected.ini)" <(tr -d '\r' <"$INI")
check "the user's folder is the user's alone" test "$(stat -c %a "$(dirname "$INI")")" = 700
# Lines logged before the login went to the file of the empty account.
check "the start-up lines in the user's state folder" \
  grep -q "正在启动Ravelo" <(iconv -f GBK -t UTF-8 -c "$(dirname "$LOG")/_$(date +%Y%m%d).txt")
check "the login tone came from the package" grep -q 'login.wav' /tmp/tones.txt
check "autostart names the launcher's command" grep -q '^Exec="*ravelozent"*$' "$HOME_DIR/.config/autostart/RaveloZent.desktop"
check "nothing written beside the program" test "$(find /usr/lib/ravelozent -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')" = "RaveloZent libzent_softphone.so "
check "nothing written in the working folder" test ! -e "$HOME_DIR/log" -a ! -e "$HOME_DIR/Info.ini"

# "查看日志" from the main window's menu (a right click on its top strip).
menu() { # menu N: the Nth command of the main window's menu
  local main
  main=$(window '^RaveloZent 1.3')
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + 640)) $((Y + 20)) click 3
  sleep 1
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
}
menu 5
check "查看日志 opens today's log in its new place" wait_for 10 grep -q "$LOG" "$HOME_DIR/opened.txt"

# The tray through the StatusNotifierItem watcher: icon, tip, and a click
# that brings the hidden window back.
item=$(awk '/^REGISTERED/ {print $2, $3; exit}' /tmp/watcher.txt)
sni() { as_user dbus-send --session --print-reply --dest="${item% *}" "${item#* }" "$@" 2>>"$OUT/sni.log"; }
prop() { sni org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1"; }
check "tray icon registered with the watcher" test -n "$item"
# Each looked at again until it holds, for a bounded time.
has_picture() { prop IconPixmap | grep -q 'int32 32'; }
names_account() { prop ToolTip | grep -q "$ACCOUNT"; }
main_shown() { [ -n "$(window '^RaveloZent 1.3')" ]; }
check "tray icon has a picture" wait_for 10 has_picture
check "tray tip names the account" wait_for 10 names_account
menu 3
check "隐藏面板 hides the window" wait_for 5 eval '! main_shown'
sni org.kde.StatusNotifierItem.Activate int32:10 int32:10 >/dev/null
check "a click on the tray icon shows the window" wait_for 10 main_shown

# Chinese through the input method: "nihao" and a space in a message window
# become 你好, which the peer receives and echoes back.
bash "$ROOT/tools/send_message.sh" "$ACCOUNT" "请回复" 10086110001 >/tmp/send.log 2>&1
chat_window() { chat=$(window '10086110001') && [ -n "$chat" ]; }
if check "a message opens the chat window" wait_for 15 chat_window; then
  eval "$(xdotool getwindowgeometry --shell "$chat")"
  xdotool mousemove $((X + 150)) $((Y + 350)) click 1
  pinyin_on() { as_user fcitx5-remote -o && [ "$(as_user fcitx5-remote)" = 2 ]; }
  check "pinyin is on in the message box" wait_for 10 pinyin_on
  # The candidates' window shows once the keys reached the input method; the
  # text is sent once the box holds 你好 itself (dark strokes, none of the
  # blue of the pinyin being composed). A click as the candidates' window
  # went, before the box had the text, sent nothing on a loaded machine.
  # The window that only names the input method ("拼", just after it was
  # switched on) is narrower than the candidates'.
  candidates() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Fcitx5 Input Window$'); do
      [ "$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')" -ge 80 ] && return 0
    done
    return 1
  }
  xdotool type --delay 60 nihao
  wait_for 10 candidates
  import -window root "$OUT/input-method.png" 2>/dev/null
  committed() {
    import -window root -crop 300x18+$((X + 2))+$((Y + 308)) +repage txt:- 2>/dev/null |
      awk -F'[(),]' 'NR > 1 { if ($5 > $3 + 60) blue++; if ($3 < 100 && $4 < 100 && $5 < 100) dark++ }
        END { exit !(dark > 30 && !blue) }'
  }
  xdotool key space
  wait_for 10 committed
  xdotool mousemove $((X + 358)) $((Y + 440)) click 1
  check "你好 typed with pinyin reaches the peer" wait_for 20 log_has "已收到：你好"
fi
import -window root "$OUT/installed-last.png" 2>/dev/null
cp /tmp/watcher.txt "$OUT/watcher.txt" 2>/dev/null
for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
wait "$CLIENT" 2>/dev/null
pids=()

# Removing the package, then purging it, leaves every file of the user's.
users_files() { (cd "$HOME_DIR" && find .config/RaveloZent .config/autostart .local/state/RaveloZent -type f -print0 | sort -z | xargs -0 sha256sum); }
before=$(users_files)
apt-get remove -y -q ravelozent >"$OUT/remove.log" 2>&1
check "remove takes the program away" test ! -e /usr/lib/ravelozent/RaveloZent -a ! -e /usr/bin/ravelozent
check "remove keeps the provider's Info.ini" test -f /etc/ravelozent/Info.ini
apt-get purge -y -q ravelozent >>"$OUT/remove.log" 2>&1
check "purge takes the provider's Info.ini away" test ! -e /etc/ravelozent
after=$(users_files)
check "the user's files survive remove and purge" test -n "$before" -a "$before" = "$after"
echo DONE
