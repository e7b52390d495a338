# shellcheck shell=bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A subscriber's network in namespaces: this shell's namespace is the home
# (the client, its desktop, discovery on 127.0.0.1:8080), a router namespace
# masquerades the home behind its service-side address and forgets an idle
# UDP mapping after 30 s, a service namespace holds the SIP server and the
# callers. Addresses live on the veth pairs between them only. Source it;
# homenet_down ends the namespaces (their holders) and all run in them.
#
#   home  h0 10.77.0.2/24 (HOME_B 10.77.0.3) --- r0 10.77.0.1  router
#   router r1 192.0.2.1/24 --- s0 192.0.2.10/24  service (SIP server, callers)

HOME_A=10.77.0.2 HOME_B=10.77.0.3 HOME_GW=10.77.0.1
ROUTER_IP=192.0.2.1 SVC_IP=192.0.2.10
REGISTER=0x5245474953544552  # "REGISTER", the first bytes of a UDP payload
_netns_pids=()

# Namespace holders: one sleeping process each, so nothing named is left in
# /run/netns if the test dies; a namespace ends with its last process.
_netns_new() {
  unshare -n sleep 1200 </dev/null >/dev/null 2>&1 &
  _netns_pids+=($!)
  echo $! >"$1"
}
in_router() { nsenter -t "$ROUTER_NS" -n -- "$@"; }
in_svc() { nsenter -t "$SVC_NS" -n -- "$@"; }

homenet_up() {
  local f
  f=$(mktemp)
  _netns_new "$f" && ROUTER_NS=$(cat "$f")
  _netns_new "$f" && SVC_NS=$(cat "$f")
  rm -f "$f"
  for _ in $(seq 50); do
    [ "$(readlink "/proc/$ROUTER_NS/ns/net")" != "$(readlink /proc/self/ns/net)" ] &&
      [ "$(readlink "/proc/$SVC_NS/ns/net")" != "$(readlink /proc/self/ns/net)" ] && break
    sleep 0.1
  done
  ip link add h0 type veth peer name r0 netns "$ROUTER_NS" || return 1
  in_router ip link add r1 type veth peer name s0 netns "$SVC_NS" || return 1
  ip addr add "$HOME_A/24" dev h0 && ip link set h0 up && ip route add default via "$HOME_GW" || return 1
  in_router ip link set lo up
  in_router ip addr add "$HOME_GW/24" dev r0 && in_router ip link set r0 up || return 1
  in_router ip addr add "$ROUTER_IP/24" dev r1 && in_router ip link set r1 up || return 1
  in_svc ip link set lo up
  in_svc ip addr add "$SVC_IP/24" dev s0 && in_svc ip link set s0 up || return 1
  in_router sysctl -qw net.ipv4.ip_forward=1 || return 1
  # The home router: masquerade, and count what the home sends to the SIP
  # server before it is rewritten: all of it, its REGISTERs, and those from
  # the second address.
  in_router nft -f - <<NFT || return 1
table ip home {
  counter to_sip { packets 0 bytes 0 }
  counter from_b { packets 0 bytes 0 }
  counter registers { packets 0 bytes 0 }
  chain counting {
    type filter hook forward priority 0; policy accept;
    iifname "r0" udp dport 5060 counter name to_sip
    iifname "r0" udp dport 5060 @th,64,64 $REGISTER counter name registers
    iifname "r0" ip saddr $HOME_B udp dport 5060 @th,64,64 $REGISTER counter name from_b
  }
  chain masq {
    type nat hook postrouting priority 100; policy accept;
    oifname "r1" masquerade
  }
}
NFT
  # Loaded with the NAT table: a mapping seen both ways is forgotten after
  # 30 s without a packet, as the hastiest home routers do.
  in_router sysctl -qw net.netfilter.nf_conntrack_udp_timeout=30 net.netfilter.nf_conntrack_udp_timeout_stream=30 ||
    return 1
}

# Packets counted so far by the router's named counter.
router_count() { in_router nft list counter ip home "$1" | awk '/packets/ { print $2 }'; }

# After what runs in them has been stopped: the holders end, and with them
# the namespaces and their veth pairs.
homenet_down() {
  local p
  for p in "${_netns_pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${_netns_pids[@]}"; do wait "$p" 2>/dev/null; done
  ip link del h0 2>/dev/null || true
}
