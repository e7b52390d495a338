# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash disable=SC2034  # what it sets is for the scripts that source it
# The client on a desktop as a user meets it: a virtual display with a window
# manager (openbox), a panel with a task bar and a tray (tint2), an
# accessibility bus, the stand-in service, and the real binary in a folder of
# its own. Drives it with xdotool; reads what it shows through AT-SPI
# (scripts/lib/ui.py), its daily log and what the stand-in's peer received.
# Source it after setting BUILD_DIR; everything it starts stops on exit.
#
#   desktop_start [WxH]   display, window manager, panel, session and
#                         accessibility bus, sound server
#   desktop_client [AutoLogin]   the client in $CLIENT_DIR with the demo account
#   desktop_session [AutoLogin]  all of these and the stand-in service
# Checks print "PASS name" or "FAIL name"; desktop_finish reports and exits.

source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

DESK=${DESK:-$(mktemp -d /tmp/ravelo-desk.XXXXXX)}
export RUNDIR=$DESK/standin
CLIENT_DIR=$DESK/app
UI=("/usr/bin/python3" "$ROOT/scripts/lib/ui.py")
PICTURES=${PICTURES:-$BUILD/desktop/${DESKTOP_NAME:-session}}
rm -rf "$PICTURES" && mkdir -p "$PICTURES"  # this run's pictures only

_desk_cleanup() {
  session_cleanup
  rm -rf "$DESK"
}
trap _desk_cleanup EXIT

# --- the desktop ------------------------------------------------------------

# Runs COMMAND... every 0.2 s until it succeeds, for at most SECONDS.
poll() {
  local end=$((SECONDS + $1))
  shift
  while :; do
    "$@" >/dev/null 2>&1 && return 0
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

declare -A _desk_names  # process id → program, for the report after a failure
DESK_REPORT_FILES=()    # more logs for that report (a peer's console)
_background() {  # LOG COMMAND...: started now, stopped at exit
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  _session_pids+=($!)
  _desk_names[$!]=$1
}

_desk_fail() {  # why a part of the desktop did not come up
  local f
  echo "$1" >&2
  for f in "$DESK"/*.log; do
    [ -s "$f" ] && { echo "--- $f" >&2; tail -n 5 "$f" >&2; }
  done
  return 1
}

# shellcheck disable=SC2120  # the screen size is optional
desktop_start() {
  start_xvfb "${1:-1366x768}" || return 1
  # The buses, the sound server and the programs' caches keep their files
  # here, not in $HOME, so sessions side by side never meet.
  export XDG_RUNTIME_DIR=$DESK/run XDG_CONFIG_HOME=$DESK/config XDG_CACHE_HOME=$DESK/cache XDG_DATA_HOME=$DESK/data
  # shellcheck disable=SC2174  # the folders themselves are private; $DESK is already
  mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$DESK/run/bus
  _background "$DESK/dbus.log" dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
  # Sound without a card: a null sink, whose monitor a test records.
  _background "$DESK/pulse.log" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=spk"
  _background "$DESK/openbox.log" openbox --sm-disable
  poll 15 window_manager_runs || _desk_fail "openbox did not start"
  _background "$DESK/tint2.log" tint2 -c "$ROOT/tests/desktop/tint2rc"
  # The client looks for the tray once, at start.
  poll 20 "${UI[@]}" owner _NET_SYSTEM_TRAY_S0 || _desk_fail "tint2's tray did not start"
  poll 10 test -S "$DESK/run/bus" || _desk_fail "the session bus did not start"
  poll 10 pactl info || _desk_fail "pulseaudio did not start"
}

# The binary in a private folder: its Info.ini, log and sounds live beside
# it, so a test never touches the build's own folder.
desktop_client() {
  private_client_dir "$CLIENT_DIR"
  DEMO_AUTOLOGIN=${1:-0} prepare_info_ini || return 1
  unset QT_QPA_PLATFORM
  # Qt and the browser engine publish their widgets and pages to the
  # accessibility bus, as they would for a screen reader.
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QTWEBENGINE_CHROMIUM_FLAGS=--force-renderer-accessibility \
    start_client "$DESK/client.out"
}

# All of it: the desktop, the stand-in service, the client (AutoLogin $1).
# A session that cannot start is a failure of the test.
desktop_session() {
  if ! desktop_start || ! start_standin >"$DESK/standin.out" 2>&1; then
    echo "FAIL the desktop did not start"
    exit 1
  fi
  desktop_client "${1:-0}"
}

# --- seeing ------------------------------------------------------------------

ui() { "${UI[@]}" "$@"; }

# Helpers below read their pipelines to the end (no head, grep -q or awk
# exit): the tests run with pipefail, which would count a writer's broken
# pipe as a failure.

# The X window of the main window (its caption starts "RaveloZent 1.3").
main_window() { xdotool search --name "^RaveloZent [0-9]" 2>/dev/null | awk 'NR == 1'; }
# A top-level window by its exact caption.
window_named() { xdotool search --name "^$(printf '%s' "$1" | sed 's/[][\.*^$()]/\\&/g')\$" 2>/dev/null | awk 'NR == 1'; }
viewable() { [ -n "$1" ] && xwininfo -id "$1" 2>/dev/null | grep "IsViewable" >/dev/null; }

# The tray icon: the panel's embedded child window that carries our name.
tray_icon() {
  xwininfo -root -tree 2>/dev/null |
    awk '/"tint2"/ { panel = 1 } panel && !found && /"RaveloZent": \("RaveloZent"/ { print $1; found = 1 }'
}
# Its middle on the screen: "X Y".
tray_spot() {
  local id
  id=$(tray_icon) || return 1
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}
# "free" when the icon is mostly green (the idle picture), "busy" when red.
_tray_picture() {
  local id rgb
  id=$(tray_icon)
  [ -n "$id" ] || return 1
  rgb=$(import -window "$id" -resize 1x1! -depth 8 txt:- 2>/dev/null | grep -o 'srgb([0-9,]*)' | tr -dc '0-9,')
  [ -n "$rgb" ] || return 1
  IFS=, read -r r g _ <<<"$rgb"
  if [ "$g" -gt "$r" ]; then echo free; else echo busy; fi
}

# True when tint2's task bar shows no button: the panel left of the tray is
# one flat colour unless a button is drawn on it.
taskbar_is_empty() {
  local panel colours
  panel=$(xwininfo -root -tree | awk '/"tint2": \("tint2"/ && !found { print $1; found = 1 }')
  [ -n "$panel" ] || return 1
  colours=$(import -window "$panel" -crop 60%x100%+0+0 +repage -format '%k' info: 2>/dev/null)
  [ "$colours" = 1 ]
}

# The root window names the window manager's check window (xprop says "no
# such atom" with success when there is none).
window_manager_runs() { xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# Title-bar buttons as the window manager allows them: openbox publishes
# what the user may do with each window.
allowed_actions() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS 2>/dev/null; }

picture() { import -window root "$PICTURES/$1.png" 2>/dev/null || true; }

# The client's daily log, decoded.
log_text() { [ -f "$(client_log)" ] && iconv -f GBK -t UTF-8 -c "$(client_log)"; }
log_count() { log_text | grep -c -- "$1"; }
logged() { log_text | grep -- "$1" >/dev/null; }
# True when each PATTERN (extended regex) matches a line of stdin after the
# line that the one before it matched.
in_order() {
  awk 'BEGIN { for (i = 1; i < ARGC; i++) want[i] = ARGV[i]; n = ARGC - 1; ARGC = 1; k = 1 }
       k <= n && $0 ~ want[k] { k++ }
       END { exit k <= n }' "$@"
}

# What the stand-in's answering peer received: the first lines (request
# lines) of the SIP messages in its trace.
peer_received() { [ "$(peer_count "$1")" -gt 0 ]; }
peer_count() {
  awk '/message received/ { r = 1; next } r && NF { print; r = 0 }' "$RUNDIR/peer_messages.log" 2>/dev/null |
    grep -a -c -E -- "$1"
}

# The client has ended (not merely waiting to be reaped).
client_ended() { ! _alive "$CLIENT_PID"; }
# The registrar no longer knows the demo account: a message for it is
# refused at once (480) instead of being forwarded.
registrar_forgot() {
  grep " 480 " <<<"$(bash "$ROOT/tools/send_message.sh" "${DEMO_ACCOUNT:-13800138000}" x 2>&1)" >/dev/null
}
# The tray icon's picture is "free" or "busy".
tray_shows() { [ "$(_tray_picture)" = "$1" ]; }
main_shown() { viewable "$(main_window)"; }
main_hidden() { ! main_shown; }

# True while the client shows a dialog whose "title|texts|buttons" line
# (ui.py dialog) matches the extended regular expression.
dialog_shows() { ui dialog 2>/dev/null | grep -E -- "$1" >/dev/null; }
ui_has() { ui find "$1" "$2" >/dev/null 2>&1; }
ui_wait() { ui wait "$1" "$2" "$3" >/dev/null 2>&1; }  # SECONDS ROLE NAME
# The status display (its label reads " " + the state), now / within SECONDS.
status_is() { ui_has label " $1"; }
status_shows() { ui_wait "$1" label " $2"; }

# Sound. Silence played into the speaker keeps its monitor flowing (an idle
# null sink delivers nothing to its monitor), so a recording's length tells
# how much time it covers, whatever the machine's load.
_speaker_flowing() {
  [ -n "${_silence_pid:-}" ] && return 0
  _background "$DESK/speaker-silence.log" pacat --playback -d spk --rate=8000 --channels=1 --format=s16le /dev/zero
  _silence_pid=$!
}
# Records the speaker into FILE (raw 8 kHz mono) from now on, in the
# background ($_recorder); back once the first samples arrive.
_record_speaker() {
  _speaker_flowing
  parec --latency-msec=20 -d spk.monitor --raw --format=s16le --rate=8000 --channels=1 >"$1" 2>/dev/null &
  _recorder=$!
  _session_pids+=($!)
  poll 10 test -s "$1"
}
_recorded_ms() { echo $(($(stat -c %s "$1" 2>/dev/null || echo 0) / 16)); }
# More than a murmur in the recording FILE.
_loud() { od -An -v -td2 -w2 "$1" | awk '$1 > 300 || $1 < -300 { n++ } END { exit !(n > 40) }'; }

# True when more than a murmur comes out of the speaker while COMMAND...
# runs or in the SECONDS of sound recorded after it.
heard_while() {
  local rec=$DESK/heard.raw after until end=$((SECONDS + 60)) heard=1
  after=$(awk -v s="$1" 'BEGIN { printf "%d", s * 1000 }')
  shift
  _record_speaker "$rec" || return 1
  "$@"
  until=$(($(_recorded_ms "$rec") + after))
  while [ "$SECONDS" -lt "$end" ]; do
    _loud "$rec" && { heard=0; break; }
    [ "$(_recorded_ms "$rec")" -ge "$until" ] && break
    sleep 0.2
  done
  speaker_record_stop
  return $heard
}
sound_heard() { heard_while "${1:-1}" true; }

# The speaker recorded from now on into $DESK/speaker.raw, for ring_bursts.
speaker_record() { _record_speaker "$DESK/speaker.raw"; }
speaker_record_stop() {
  kill "$_recorder" 2>/dev/null
  wait "$_recorder" 2>/dev/null
}
# Bursts of the ring in that recording so far: 440 + 480 Hz for at least
# 0.3 s, without the hang-up tone's 620 Hz.
ring_bursts() {
  /usr/bin/python3 "$ROOT/tests/sound/sound_check.py" track "$DESK/speaker.raw" ring=440+480-620 |
    awk '$3 - $2 >= 0.3' | grep -c ring
}
# The ring sounded, fell silent and sounded again: it loops.
ring_looped() { [ "$(ring_bursts)" -ge 2 ]; }

# --- driving -----------------------------------------------------------------

click_at() { xdotool mousemove "$1" "$2" click "${3:-1}"; }
# The middle of a widget found by role and name (ui.py find): "X Y".
_middle() {
  local x y w h
  read -r x y w h < <(ui find "$1" "$2") || return 1
  [ -n "$h" ] || return 1
  echo "$((x + w / 2)) $((y + h / 2))"
}
click_ui() {
  local spot
  spot=$(_middle "$1" "$2") || return 1
  # shellcheck disable=SC2086  # "x y": two arguments
  click_at $spot "${3:-1}"
}
hover_ui() {
  local spot
  spot=$(_middle "$1" "$2") || return 1
  # shellcheck disable=SC2086  # "x y": two arguments
  xdotool mousemove $spot
}
click_button() { click_ui "push button" "$1"; }
# The framework's own buttons speak the client's language, with their
# mnemonic after the word: "是(Y)".
YES="~^是" NO="~^否" OK="~^确定"
tray_click() {
  local x y
  read -r x y < <(tray_spot) || return 1
  click_at "$x" "$y" "$1"
}
# Opens the tray's popup menu; MENU holds what ui.py popup printed: the
# menu's place, then each item's place and name.
tray_menu() {
  local x y
  read -r x y < <(tray_spot) || return 1
  MENU=$(ui popup xdotool mousemove "$x" "$y" click 3) || return 1
  MENU_CURSOR="$x $y"
}
menu_pick() {
  local line x y w h
  line=$(printf '%s\n' "$MENU" | awk -F'\t' -v n="$1" '$2 == n && !found { print $1; found = 1 }')
  [ -n "$line" ] || return 1
  read -r x y w h <<<"$line"
  click_at $((x + w / 2)) $((y + h / 2))
}
# Chooses an item of the tray's menu.
tray_command() { tray_menu && menu_pick "$1"; }

# --- reporting ---------------------------------------------------------------

# A failed check leaves a picture of the screen.
on_check_failure() { picture "fail-$(echo "$1" | tr -c 'A-Za-z0-9' '-' | cut -c1-40)"; }

# After a failed check: which of the desktop's programs still run, and what
# their logs said last (a window manager gone takes every title-bar check).
_desk_report() {
  local pid f
  for pid in "${_session_pids[@]}"; do
    [ -n "${_desk_names[$pid]:-}" ] && ! kill -0 "$pid" 2>/dev/null && echo "NOTE ${_desk_names[$pid]} had ended"
  done
  # Without the lines that only repeat a state: baresip's bit rates and its
  # console's echo of what was typed.
  for f in "$DESK"/*.log "${DESK_REPORT_FILES[@]}"; do
    [ -s "$f" ] && { echo "--- $f"; tr '\r' '\n' <"$f" | grep -a -v -E '^ *$|^\[[0-9:]+\] audio=|^/' |
      tail -n "${DESK_REPORT_LINES:-5}"; }
  done
  for f in "$CLIENT_DIR"/log/*.txt; do
    [ -s "$f" ] && { echo "--- the client's log $f"; tail -n 40 "$f"; }
  done
  # The whole logs stay beside the pictures (the session's folder goes).
  mkdir -p "$PICTURES/logs"
  cp "$DESK"/*.log "$DESK"/*.out "$RUNDIR"/*.log "$CLIENT_DIR"/log/*.txt "$PICTURES/logs/" 2>/dev/null
  echo "NOTE the session's logs are in $PICTURES/logs"
}

desktop_finish() {
  picture last
  [ "$_failures" -eq 0 ] || _desk_report
  checks_end
}
