#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Rings a registered Ravelo client from the service side, through the
# stand-in SIP server:
#
#   tools/call_client.sh <to-number> [seconds] [from-number]
#
# The call comes from sip:86<from-number>@<domain> (default: the demo peer
# 10086110001). When answered, a recording plays and the caller hangs up
# after <seconds> (default 5) unless the client hangs up first. The server
# gives up ringing after 30 s. Exit 0 when the call was answered, 1 when it
# was refused or not answered (the final status is printed).
# CANCEL_AFTER_MS=N: the caller gives up after N ms of ringing (CANCEL);
# the final status is then 487.
# SIP_IP, SIP_PORT and SIP_DOMAIN as for standin.sh.
set -u

TOOLS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
SIP_IP="${SIP_IP:-127.0.0.1}"
SIP_PORT="${SIP_PORT:-5060}"
SIP_DOMAIN="${SIP_DOMAIN:-127.0.0.1}"
AUDIO="/usr/share/sip-tester/g711a.pcap"

if [ $# -lt 1 ] || [ $# -gt 3 ]; then
  echo "usage: $0 <to-number> [seconds] [from-number]" >&2
  exit 2
fi
to="$1" seconds="${2:-5}" from="${3:-10086110001}"
for n in "$to" "$from"; do
  if ! [[ "$n" =~ ^[0-9]{1,20}$ ]]; then
    echo "call_client: '$n' is not a phone number" >&2
    exit 2
  fi
done
if ! [[ "$seconds" =~ ^[0-9]{1,4}$ ]] || [ "$seconds" -lt 1 ]; then
  echo "call_client: seconds must be a whole number from 1" >&2
  exit 2
fi

scenario=call_client
if [ -n "${CANCEL_AFTER_MS:-}" ]; then
  if ! [[ "$CANCEL_AFTER_MS" =~ ^[0-9]{1,6}$ ]]; then
    echo "call_client: CANCEL_AFTER_MS must be a whole number of milliseconds" >&2
    exit 2
  fi
  scenario=call_client_cancel
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sed -e "s|@AUDIO@|$AUDIO|" -e "s|@HOLD_MS@|$((seconds * 1000))|" -e "s|@RING_MS@|${CANCEL_AFTER_MS:-0}|" \
  "$TOOLS/sip/$scenario.xml.in" >"$work/call_client.xml"

timeout $((seconds + 50)) sipp "$SIP_IP:$SIP_PORT" -sf "$work/call_client.xml" \
  -i "$SIP_IP" -mi "$SIP_IP" -mp $((40000 + RANDOM % 5000 * 2)) -m 1 -nostdin \
  -timeout $((seconds + 45))s -timeout_error \
  -key from "$from" -key to "$to" -key domain "$SIP_DOMAIN" \
  -trace_msg -message_file "$work/messages.log" </dev/null >/dev/null 2>"$work/stderr"
rc=$?

# The final answer to the INVITE tells how the call went.
final="$(awk '/^SIP\/2.0 [2-6][0-9][0-9]/ { line = $0 } /^CSeq: 1 INVITE/ && line { print line; exit } /^$/ { line = "" }' \
  "$work/messages.log" 2>/dev/null | tr -d '\r')"
if [ $rc -eq 0 ] && [[ "$final" == "SIP/2.0 200"* ]]; then
  echo "call_client: $to answered; call ended"
  exit 0
fi
echo "call_client: $to not answered: ${final:-no answer from $SIP_IP:$SIP_PORT}" >&2
exit 1
