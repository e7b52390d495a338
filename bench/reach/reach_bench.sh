#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reachability figures on the namespaces of tests/reach (home, router,
# service), as root: the client's (from the test cases, which print them)
# beside linphonec on the same namespaces: address change -> first REGISTER
# from the new address, idle packets to the SIP server per minute, and the
# client's resume -> reachable. Prints the load average before and after.
#   bash bench/reach/reach_bench.sh BUILD_DIR [idle_seconds=120]
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: reach_bench.sh BUILD_DIR [idle_seconds]}" && pwd)
IDLE=${2:-120}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

for c in address resume idle; do
  bash "$ROOT/tests/isolated.sh" bash "$ROOT/tests/stress/run_case.sh" bash "$ROOT/tests/reach/reach.sh" "$c" "$BUILD_DIR" |
    grep -E "^(FIGURE|FAIL)" | sed "s/^/RaveloZent: /"
done

# linphonec, in a home namespace of its own, registered through the router.
# Its own network watch is on (its default), as a user would run it.
linphonec_case() {
  set -uo pipefail
  source "$ROOT/tests/reach/homenet.sh"
  dir=$(mktemp -d /tmp/reach-bench.XXXXXX)
  lc=""
  lc_cleanup() {
    [ -n "$lc" ] && kill "$lc" "$feed" 2>/dev/null
    in_svc env RUNDIR="$dir/service" bash "$ROOT/tools/standin.sh" stop >/dev/null 2>&1
    homenet_down
    rm -rf "$dir"
  }
  trap lc_cleanup EXIT
  trap 'exit 143' TERM INT
  homenet_up || { echo "linphonec: namespaces did not come up"; return 1; }
  in_svc env RUNDIR="$dir/service" SIP_IP=$SVC_IP SIP_DOMAIN=$SVC_IP bash "$ROOT/tools/standin.sh" start >/dev/null 2>&1 ||
    { echo "linphonec: the SIP server did not start"; return 1; }
  mkdir -p "$dir/home/.local/share/linphone"
  cat >"$dir/home/rc" <<RC
[sip]
sip_port=5064
sip_tcp_port=0
sip_tls_port=0
default_proxy=0
[rtp]
audio_rtp_port=7078
[proxy_0]
reg_proxy=<sip:$SVC_IP:5060>
reg_identity=sip:13800138000@$SVC_IP
reg_expires=600
reg_sendregister=1
[auth_info_0]
username=13800138000
userid=13800138000
passwd=123456
realm=$SVC_IP
RC
  # linphonec wants a terminal on its input; nothing is typed into it.
  mkfifo "$dir/in"
  sleep 1000 >"$dir/in" &
  feed=$!
  HOME=$dir/home script -qfc "linphonec -c $dir/home/rc" /dev/null <"$dir/in" >"$dir/lc.out" 2>&1 &
  lc=$!
  # Registered: the challenged REGISTER and the one with credentials have
  # passed the router.
  for _ in $(seq 300); do
    [ "$(router_count registers)" -ge 2 ] && break
    sleep 0.1
  done
  [ "$(router_count registers)" -ge 2 ] || { echo "did not register"; return 1; }
  sleep 5  # past the registration's own packets
  local n0 t0 n1
  n0=$(router_count to_sip)
  t0=$SECONDS
  sleep "$IDLE"
  n1=$(router_count to_sip)
  echo "FIGURE idle: $((n1 - n0)) packets to the SIP server in $((SECONDS - t0)) s"
  local before changed
  before=$(router_count from_b)
  ip addr add "$HOME_B/24" dev h0
  sysctl -qw net.ipv4.conf.h0.promote_secondaries=1
  changed=$(date +%s.%N)
  ip addr del "$HOME_A/24" dev h0
  ip route replace default via "$HOME_GW"
  for _ in $(seq 600); do
    [ "$(router_count from_b)" -gt "$before" ] && break
    sleep 0.1
  done
  if [ "$(router_count from_b)" -gt "$before" ]; then
    echo "FIGURE address change -> new REGISTER: $(awk -v a="$changed" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
  else
    echo "FIGURE address change -> new REGISTER: none within 60 s"
  fi
}
export -f linphonec_case
export ROOT IDLE
bash "$ROOT/tests/isolated.sh" bash -c linphonec_case | sed "s/^/linphonec: /"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
