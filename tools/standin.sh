#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Starts, stops and reports the local stand-in of the Ravelo service on
# loopback: the web server (discovery, pages, bridge calls), the SIP server
# (registrar and proxy) and the answering SIP peer.
#
#   tools/standin.sh start|stop|status|restart
#
# Settings come from the environment (defaults in brackets):
#   RUNDIR       pid files, logs, generated configs [/tmp/ravelo-standin]
#   WEB_PORT     web server port [8080]
#   SIP_IP       address of the SIP server and peer [127.0.0.1]
#   SIP_PORT     SIP server port, UDP and TCP [5060]
#   SIP_DOMAIN   SIP domain of the accounts [127.0.0.1]
#   PEER_PORT    answering peer's SIP port [5070]
#   PEER_MEDIA_PORT  its RTP port [16000]
#   ECHO_PORT    echo peer's SIP port [5072]
#   ECHO_MEDIA_PORT  its RTP port, every packet goes back to its sender [16100]
#   HOLD_MS      how long the peer keeps an answered call [5000]
#   ACCOUNTS     "number:password ..." [13800138000:123456 13900139000:654321]
#   MAX_EXPIRES  the longest registration the SIP server grants, seconds [3600]
#   PAGE_SCRIPT  a file of script the client page carries, as if tampered with []
set -u

TOOLS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNDIR="${RUNDIR:-/tmp/ravelo-standin}"
WEB_PORT="${WEB_PORT:-8080}"
SIP_IP="${SIP_IP:-127.0.0.1}"
SIP_PORT="${SIP_PORT:-5060}"
SIP_DOMAIN="${SIP_DOMAIN:-127.0.0.1}"
PEER_PORT="${PEER_PORT:-5070}"
PEER_MEDIA_PORT="${PEER_MEDIA_PORT:-16000}"
ECHO_PORT="${ECHO_PORT:-5072}"
ECHO_MEDIA_PORT="${ECHO_MEDIA_PORT:-16100}"
HOLD_MS="${HOLD_MS:-5000}"
ACCOUNTS="${ACCOUNTS:-13800138000:123456 13900139000:654321}"
MAX_EXPIRES="${MAX_EXPIRES:-3600}"
PEER_PREFIX="100861"
BUSY_NUMBER="10086110486"
ECHO_NUMBER="10086110888"
AUDIO="/usr/share/sip-tester/g711a.pcap"
KAMAILIO_MODULES="${KAMAILIO_MODULES:-/usr/lib/x86_64-linux-gnu/kamailio/modules}"
START_TIMEOUT=10

COMPONENTS=(web sip peer echo)

log() { echo "standin: $*" >&2; }

pidfile() { echo "$RUNDIR/$1.pid"; }

# The process name each pid file must point at, so that a stale pid file
# never makes us signal an unrelated process.
expected_name() {
  case "$1" in
    web) echo standin_web.py ;;
    sip) echo kamailio ;;
    peer | echo) echo sipp ;;
  esac
}

# A process that has ended but is not yet reaped (state Z) counts as gone.
alive() {
  local state
  state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)"
  [ -n "$state" ] && [ "$state" != Z ]
}

running_pid() {
  local f pid
  f="$(pidfile "$1")"
  [ -f "$f" ] || return 1
  pid="$(cat "$f" 2>/dev/null)"
  [[ "$pid" =~ ^[0-9]+$ ]] || return 1
  alive "$pid" || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "$(expected_name "$1")" || return 1
  echo "$pid"
}

listening() { # proto port
  local flag=-Hltn
  [ "$1" = udp ] && flag=-Hlun
  [ -n "$(ss $flag "sport = :$2" 2>/dev/null)" ]
}

component_ready() {
  case "$1" in
    web) listening tcp "$WEB_PORT" ;;
    sip) listening udp "$SIP_PORT" && listening tcp "$SIP_PORT" ;;
    peer) listening udp "$PEER_PORT" ;;
    echo) listening udp "$ECHO_PORT" ;;
  esac
}

users_block() {
  local pair number password
  for pair in $ACCOUNTS; do
    number="${pair%%:*}"
    password="${pair#*:}"
    if ! [[ "$number" =~ ^[0-9]+$ ]] || [ -z "$password" ] || [ "$password" = "$pair" ] \
        || [[ "$password" == *'"'* ]]; then
      log "bad account '$pair' in ACCOUNTS (want number:password)"
      return 1
    fi
    printf '\t$sht(users=>%s) = "%s";\n' "$number" "$password"
  done
}

render_configs() {
  local users
  users="$(users_block)" || return 1
  # Values travel in the environment, so no quoting of theirs can break the
  # substitution.
  R_SIP_IP="$SIP_IP" R_SIP_PORT="$SIP_PORT" R_SIP_DOMAIN="$SIP_DOMAIN" \
  R_PEER_ADDR="$SIP_IP:$PEER_PORT" R_PEER_PREFIX="$PEER_PREFIX" \
  R_BUSY_NUMBER="$BUSY_NUMBER" R_ECHO_NUMBER="$ECHO_NUMBER" R_ECHO_ADDR="$SIP_IP:$ECHO_PORT" R_MODULES="$KAMAILIO_MODULES" R_AUDIO="$AUDIO" \
  R_HOLD_MS="$HOLD_MS" R_USERS="$users" R_MAX_EXPIRES="$MAX_EXPIRES" \
  python3 - "$TOOLS/sip/kamailio.cfg.in" "$RUNDIR/kamailio.cfg" \
      "$TOOLS/sip/peer_uas.xml.in" "$RUNDIR/peer_uas.xml" <<'EOF' || return 1
import os, sys
values = {k[2:]: v for k, v in os.environ.items() if k.startswith("R_")}
args = sys.argv[1:]
for src, dst in zip(args[0::2], args[1::2]):
    text = open(src, encoding="utf-8").read()
    for key, value in values.items():
        text = text.replace("@%s@" % key, value)
    open(dst, "w", encoding="utf-8").write(text)
EOF
}

launch() { # name command...
  local name="$1"
  shift
  "$@" </dev/null >>"$RUNDIR/$name.log" 2>&1 &
  echo $! >"$(pidfile "$name")"
}

start_web() {
  local args=(--bind "$SIP_IP" --port "$WEB_PORT" --sip-server "$SIP_IP:$SIP_PORT")
  local pair
  for pair in $ACCOUNTS; do args+=(--account "$pair"); done
  [ -n "${PAGE_SCRIPT:-}" ] && args+=(--page-script "$PAGE_SCRIPT")
  launch web python3 -u "$TOOLS/standin_web.py" "${args[@]}"
}

start_sip() {
  mkdir -p "$RUNDIR/kamailio"
  if ! kamailio -c -f "$RUNDIR/kamailio.cfg" -Y "$RUNDIR/kamailio" >>"$RUNDIR/sip.log" 2>&1; then
    log "kamailio rejects $RUNDIR/kamailio.cfg (see $RUNDIR/sip.log)"
    return 1
  fi
  launch sip kamailio -f "$RUNDIR/kamailio.cfg" -DD -E -m 32 -M 4 -Y "$RUNDIR/kamailio"
}

start_peer() {
  # sipp redraws its screen on stdout; only its traces are worth keeping.
  sipp -sf "$RUNDIR/peer_uas.xml" -i "$SIP_IP" -p "$PEER_PORT" \
    -mi "$SIP_IP" -mp "$PEER_MEDIA_PORT" -nostdin \
    -trace_err -error_file "$RUNDIR/peer_errors.log" \
    -trace_msg -message_file "$RUNDIR/peer_messages.log" \
    </dev/null >/dev/null 2>>"$RUNDIR/peer.log" &
  echo $! >"$(pidfile peer)"
}

# The echo peer: the caller hears its own microphone.
start_echo() {
  sipp -sf "$TOOLS/sip/echo_uas.xml" -i "$SIP_IP" -p "$ECHO_PORT" \
    -mi "$SIP_IP" -mp "$ECHO_MEDIA_PORT" -rtp_echo -nostdin \
    -trace_err -error_file "$RUNDIR/echo_errors.log" \
    </dev/null >/dev/null 2>>"$RUNDIR/echo.log" &
  echo $! >"$(pidfile echo)"
}

stop_one() {
  local name="$1" pid
  if pid="$(running_pid "$name")"; then
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then
      log "$name ($pid) ignored SIGTERM, killing it"
      kill -KILL "$pid" 2>/dev/null
    fi
  fi
  rm -f "$(pidfile "$name")"
}

do_stop() {
  local name
  for name in "${COMPONENTS[@]}"; do stop_one "$name"; done
  # Worker processes may hold the sockets a moment longer than the parents.
  for _ in $(seq 50); do
    listening tcp "$WEB_PORT" || listening udp "$SIP_PORT" || listening udp "$PEER_PORT" \
      || listening udp "$ECHO_PORT" || break
    sleep 0.1
  done
  log "stopped"
}

do_status() {
  local name pid all=0
  for name in "${COMPONENTS[@]}"; do
    if pid="$(running_pid "$name")" && component_ready "$name"; then
      echo "$name: running (pid $pid)"
    else
      echo "$name: stopped"
      all=3
    fi
  done
  return $all
}

do_start() {
  local name waited busy=""
  mkdir -p "$RUNDIR" || return 1
  for name in "${COMPONENTS[@]}"; do
    if running_pid "$name" >/dev/null; then
      log "already running; use '$0 stop' first"
      do_status
      return 1
    fi
  done
  listening tcp "$WEB_PORT" && busy+=" tcp/$WEB_PORT"
  listening udp "$SIP_PORT" && busy+=" udp/$SIP_PORT"
  listening udp "$PEER_PORT" && busy+=" udp/$PEER_PORT"
  listening udp "$ECHO_PORT" && busy+=" udp/$ECHO_PORT"
  if [ -n "$busy" ]; then
    log "ports already in use:$busy"
    return 1
  fi
  [ -r "$AUDIO" ] || { log "missing $AUDIO (package sip-tester)"; return 1; }
  render_configs || return 1

  if ! { start_web && start_sip && start_peer && start_echo; }; then do_stop; return 1; fi

  for name in "${COMPONENTS[@]}"; do
    waited=0
    until component_ready "$name"; do
      if ! running_pid "$name" >/dev/null || [ "$waited" -ge $((START_TIMEOUT * 10)) ]; then
        log "$name did not come up; last lines of $RUNDIR/$name.log:"
        tail -n 15 "$RUNDIR/$name.log" >&2 2>/dev/null
        do_stop
        return 1
      fi
      sleep 0.1
      waited=$((waited + 1))
    done
  done
  log "web http://$SIP_IP:$WEB_PORT/  SIP $SIP_IP:$SIP_PORT (udp+tcp)  peer $SIP_IP:$PEER_PORT"
  log "accounts: $ACCOUNTS; answering number ${PEER_PREFIX}10001, busy $BUSY_NUMBER, echo $ECHO_NUMBER"
  log "logs and pids in $RUNDIR"
}

case "${1:-}" in
  start) do_start ;;
  stop) do_stop ;;
  status) do_status ;;
  restart) do_stop; do_start ;;
  *) echo "usage: $0 start|stop|status|restart" >&2; exit 2 ;;
esac
