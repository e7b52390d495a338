#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The client reachable all day behind a home router (homenet.sh): on a
# desktop in the home namespace, registered with the SIP server on the
# service side, observed by what a caller there gets (487 after it rang and
# gave up: the call reached the client; 408 or 480: it did not) and by the
# status and the tray. One case a run:
#   idle     120 s idle behind the router, a caller still gets through
#   address  the home address changes (B added, A deleted)
#   offline  the link is down for 60 s, then back
#   resume   logind's resume signal after the server forgot the client
#   freeze   SIGSTOP for 90 s past a 20 s registration, then SIGCONT
#   restart  the registrar (granting 60 s) restarts and loses its registrations
# Usage: reach.sh CASE BUILD_DIR. Needs root (namespaces) and nftables.
set -uo pipefail
CASE=${1:?usage: reach.sh CASE BUILD_DIR}
BUILD_DIR=$(cd "${2:?usage: reach.sh CASE BUILD_DIR}" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ] || ! unshare -n true 2>/dev/null || ! command -v nft >/dev/null; then
  echo "reach: needs root, network namespaces and nftables; skipped"
  exit 77
fi
export BUILD_DIR DESKTOP_NAME=reach-$CASE
source "$HERE/../../scripts/lib/desktop.sh"
source "$HERE/homenet.sh"
SVC_RUN=$DESK/service

reach_cleanup() {
  session_cleanup
  [ -n "${SVC_NS:-}" ] && in_svc env RUNDIR="$SVC_RUN" bash "$ROOT/tools/standin.sh" stop >/dev/null 2>&1
  homenet_down
  rm -rf "$DESK"
}
trap reach_cleanup EXIT

setup_fail() {
  echo "FAIL $1"
  local f
  for f in "$DESK"/*.out "$DESK"/*.log "$SVC_RUN"/sip.log; do
    [ -s "$f" ] && { echo "--- $f"; tail -n 8 "$f"; }
  done
  exit 1
}

# The SIP server (and the stand-in's peers) on the service side.
service() {
  in_svc env RUNDIR="$SVC_RUN" SIP_IP=$SVC_IP SIP_DOMAIN=$SVC_IP MAX_EXPIRES="${MAX_EXPIRES:-3600}" \
    bash "$ROOT/tools/standin.sh" "$1" >>"$DESK/service.out" 2>&1
}

# The registrar restarts and forgets every registration. Its host stays
# silent meanwhile (no "port unreachable" that would tell the client), the
# old one goes at once, and the port must be free before the new one starts.
svc_port_free() { [ -z "$(in_svc ss -Hlun "sport = :5060")" ]; }
registrar_restart() {
  local p ok
  in_svc nft -f - <<'NFT'
table ip restarting {
  chain input {
    type filter hook input priority 0; policy accept;
    udp dport 5060 drop
  }
}
NFT
  for p in $(pgrep -x kamailio); do
    [ "$(readlink "/proc/$p/ns/net")" = "$(readlink "/proc/$SVC_NS/ns/net")" ] && kill -9 "$p" 2>/dev/null
  done
  service stop
  poll 20 svc_port_free && service start
  ok=$?
  in_svc nft delete table ip restarting
  return $ok
}

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The final status a caller on the service side gets; it gives up 300 ms
# after the client rings.
call_result() {
  in_svc env SIP_IP=$SVC_IP SIP_DOMAIN=$SVC_IP CANCEL_AFTER_MS=300 bash "$ROOT/tools/call_client.sh" 13800138000 1 2>&1 |
    grep -o 'SIP/2.0 [0-9]*' | awk '{ c = $2 } END { print c }'
}
reached() {
  local r
  r=$(call_result)
  echo "  caller got ${r:-no answer}"
  [ "$r" = 487 ] && status_shows 10 空闲待机
}
not_reached() {
  local r
  r=$(call_result)
  echo "  caller got ${r:-no answer}"
  [ "$r" = 408 ] || [ "$r" = 480 ]
}
# Calls until one reaches the client, which must be within $1 seconds.
reached_within() {
  local end r
  end=$(awk -v a="$(now)" -v s="$1" 'BEGIN { printf "%.3f", a + s }')
  while :; do
    r=$(call_result)
    echo "  caller got ${r:-no answer}"
    before_end() { awk -v e="$end" -v n="$(now)" 'BEGIN { exit !(n < e) }'; }
    if [ "$r" = 487 ]; then
      before_end && status_shows 10 空闲待机
      return
    fi
    before_end || return 1
    sleep 0.3
  done
}
# More than $2 REGISTERs passed the router's counter $1.
more_than() { [ "$(router_count "$1")" -gt "$2" ]; }
no_dialog() { ! dialog_shows .; }
# The daily log (written every few seconds) holds PATTERN exactly N times.
log_lines() { [ "$(log_count "$1")" -eq "$2" ]; }

case $CASE in
  freeze) export MAX_EXPIRES=20 ;;
  restart) export MAX_EXPIRES=60 ;;
esac
homenet_up || setup_fail "the namespaces and the router did not come up"
service start || setup_fail "the SIP server did not start on the service side"
# Discovery on the home's loopback, where the client's build looks for it,
# naming the service side's SIP server.
_background "$DESK/discovery.log" python3 -u "$ROOT/tools/standin_web.py" --bind 127.0.0.1 --port 8080 \
  --sip-server "$SVC_IP:5060" --account 13800138000:123456
# The system bus the client finds logind on, and logind's stand-in.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$DESK/system_bus
_background "$DESK/system_bus.log" dbus-daemon --config-file="$HERE/system_bus.conf" --nofork --nopidfile \
  --address="$DBUS_SYSTEM_BUS_ADDRESS"
poll 10 test -S "$DESK/system_bus" || setup_fail "the private system bus did not start"
_background "$DESK/logind.log" /usr/bin/python3 -u "$HERE/logind_standin.py"
LOGIND_PID=$!
poll 10 grep owns "$DESK/logind.log" || setup_fail "logind's stand-in did not take its name"
poll 10 bash -c '[ -n "$(ss -Hltn "sport = :8080")" ]' || setup_fail "discovery did not start"
desktop_start || setup_fail "the desktop did not start"
# A loaded machine may bring the panel up late; the client looks for the
# tray once, at its start.
poll 30 ui owner _NET_SYSTEM_TRAY_S0 || setup_fail "the panel's tray did not start"
desktop_client 1

check "registered behind the router" poll 60 logged "登录成功"
show_main() { tray_click 1 && poll 5 main_shown; }
poll 20 show_main
check "the status reads 空闲待机" status_shows 10 空闲待机
check "a caller on the service side reaches it" reached

case $CASE in
  idle)
    sent=$(router_count to_sip)
    start=$(now)
    sleep 120  # the idle time itself
    sent=$(($(router_count to_sip) - sent))
    echo "FIGURE idle: $sent packets to the SIP server in $(since "$start") s"
    check "after 120 s idle a caller still reaches it" reached
    # 120 s hold four periods of 30 s: five packets at most, with one at each end.
    check "idle, at most one packet every 30 s" test "$sent" -le 5
    ;;
  address)
    before=$(router_count from_b)
    ip addr add "$HOME_B/24" dev h0
    sysctl -qw net.ipv4.conf.h0.promote_secondaries=1
    changed=$(now)
    ip addr del "$HOME_A/24" dev h0
    ip route replace default via "$HOME_GW"
    check "a REGISTER from the new address within 15 s" poll 15 more_than from_b "$before"
    echo "FIGURE address change -> new REGISTER: $(since "$changed") s"
    check "no dialog about it" no_dialog
    check "a caller reaches it at the new address" reached
    ;;
  offline)
    tips=$(log_count "连接软交换超时")
    ip link set h0 down
    gone=$(now)
    check "without the network the status reads 未登录 within 35 s" status_shows 35 未登录
    check "the tray shows it too" poll 5 tray_shows busy
    check "no dialog about it" no_dialog
    check "a caller meanwhile is not put through" not_reached
    sleep "$(awk -v s="$(since "$gone")" 'BEGIN { r = 60 - s; print (r > 0 ? r : 0) }')"
    ip link set h0 up
    ip route replace default via "$HOME_GW"
    back=$(now)
    check "back: the status reads 空闲待机 within 15 s" status_shows 15 空闲待机
    check "back: the tray shows it" poll 5 tray_shows free
    check "back: a caller reaches it" reached_within 15
    echo "FIGURE network back -> reachable: $(since "$back") s"
    check "one log line about the loss" poll 10 log_lines 连接软交换超时 $((tips + 1))
    ;;
  resume)
    # The server forgets the client, as when its registration ran out
    # during a sleep; the client's own refresh is minutes away.
    registrar_restart || setup_fail "the SIP server did not start again"
    check "the server has forgotten it" not_reached
    kill -USR1 "$LOGIND_PID"
    woke=$(now)
    check "reachable within 5 s of the resume signal" reached_within 5
    echo "FIGURE resume -> reachable: $(since "$woke") s"
    check "one log line about the resume" poll 10 log_lines 系统已唤醒 1
    ;;
  freeze)
    kill -STOP "$CLIENT_PID"
    sleep 90  # well past the 20 s registration
    check "frozen past its expiry it is not reachable" not_reached
    kill -CONT "$CLIENT_PID"
    thawed=$(now)
    check "reachable within 10 s of SIGCONT" reached_within 10
    echo "FIGURE SIGCONT -> reachable: $(since "$thawed") s"
    ;;
  restart)
    # Seconds after the registration: its refresh is most of a period away.
    registrar_restart || setup_fail "the SIP server did not start again"
    restarted=$(now)
    check "the restarted registrar does not know it" not_reached
    check "reachable again within the 60 s registration" reached_within 70
    echo "FIGURE registrar restart -> reachable: $(since "$restarted") s"
    ;;
  *)
    echo "FAIL unknown case $CASE"
    ;;
esac
desktop_finish
