# shellcheck shell=bash
# SPDX-License-Identifier: GPL-3.0-or-later
# baresip, an independent SIP client, as the second subscriber of the
# stand-in (13900139000), driven through its console on a pseudo-terminal.
# Source it after scripts/lib/desktop.sh (it uses poll and the clean-up
# list); its sound goes through the PulseAudio of the session, to the sink
# and from the source named in BARESIP_SINK and BARESIP_SOURCE.
#
#   baresip_session [FN]   the desktop (then FN), the stand-in, the client
#   baresip_start          registers it, waits (at most 20 s) for the 200
#   baresip_say COMMAND    a console command ("/dial 13800138000")
#   baresip_saw TEXT       true once its console has printed TEXT
#   baresip_count TEXT     how many console lines hold TEXT
#   baresip_message TEXT   sends TEXT to the client (13800138000)

# The desktop, the stand-in and the client logged in automatically; the
# stand-in is started once more should its first start fail (a loaded
# machine), and what it said is shown when it fails again.
baresip_session() {
  desktop_start || return 1
  if [ -n "${1:-}" ]; then "$1" || return 1; fi
  if ! start_standin >"$DESK/standin.out" 2>&1; then
    bash "$ROOT/tools/standin.sh" stop >>"$DESK/standin.out" 2>&1
    start_standin >>"$DESK/standin.out" 2>&1 || { cat "$DESK/standin.out"; return 1; }
  fi
  desktop_client 1
}

BARESIP_DIR=$DESK/baresip
BARESIP_LOG=$PICTURES/baresip.log  # kept for a look after the run
DESK_REPORT_FILES+=("$BARESIP_LOG")
# shellcheck disable=SC2034  # read by the report of a failed session
DESK_REPORT_LINES=25

baresip_start() {
  mkdir -p "$BARESIP_DIR"
  # A loopback-only namespace has no default route: without the address it
  # finds no network and never registers.
  cat >"$BARESIP_DIR/config" <<CONF
poll_method epoll
sip_listen 127.0.0.1:5090
net_interface 127.0.0.1
audio_player alsa,pulse
audio_source alsa,pulse
audio_alert alsa,pulse
rtp_ports 10000-10100
audio_path $BARESIP_DIR/no-sounds
module_path /usr/lib/baresip/modules
module stdio.so
module g711.so
module alsa.so
module_app account.so
module_app contact.so
module_app menu.so
CONF
  echo "<sip:13900139000@127.0.0.1>;auth_pass=654321;regint=600;audio_codecs=PCMA,PCMU" >"$BARESIP_DIR/accounts"
  echo '"client" <sip:13800138000@127.0.0.1>' >"$BARESIP_DIR/contacts"
  # No ring or message sounds: baresip answers a message only after playing
  # its sound has begun, and a sound device slow to open makes the proxy
  # send the message again, which baresip then shows a second time.
  mkdir -p "$BARESIP_DIR/no-sounds"
  mkfifo "$BARESIP_DIR/in"
  # The console reads a terminal; script(1) gives it one. -v prints the
  # telephone events it receives.
  PULSE_SINK=${BARESIP_SINK:-} PULSE_SOURCE=${BARESIP_SOURCE:-} \
    script -qfec "baresip -f $BARESIP_DIR -v" /dev/null <"$BARESIP_DIR/in" >"$BARESIP_LOG" 2>&1 &
  _session_pids=("$!" "${_session_pids[@]}")
  exec {BARESIP_FD}>"$BARESIP_DIR/in"
  poll 20 baresip_saw "13900139000@127.0.0.1: {0/UDP/v4} 200 OK" || return 1
  baresip_say /contact_next
  poll 5 baresip_saw "Current contact: client"
}

baresip_say() { printf '%s\n' "$1" >&"$BARESIP_FD"; }
# The console echoes what is typed character by character, each step on a
# line of its own ending in CR: only whole lines count.
_baresip_lines() { tr '\r' '\n' <"$BARESIP_LOG" 2>/dev/null | grep -a -v '^/'; }
baresip_saw() { _baresip_lines | grep -a -F -- "$1" >/dev/null; }
baresip_count() { _baresip_lines | grep -a -c -F -- "$1"; }
baresip_message() { baresip_say "/message $1"; }
