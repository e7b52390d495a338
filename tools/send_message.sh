#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Sends one SIP text message from the service side to a registered Ravelo
# client, through the stand-in SIP server:
#
#   tools/send_message.sh <to-number> <text> [from-number]
#
# The message comes from sip:86<from-number>@<domain> (default: the demo
# peer 10086110001) to sip:86<to-number>@<domain>, UTF-8 text/plain.
# Exit 0 when the server answered 200/202 (the client took it), else 1.
# SIP_IP, SIP_PORT and SIP_DOMAIN as for standin.sh.
set -u

TOOLS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
SIP_IP="${SIP_IP:-127.0.0.1}"
SIP_PORT="${SIP_PORT:-5060}"
SIP_DOMAIN="${SIP_DOMAIN:-127.0.0.1}"

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 <to-number> <text> [from-number]" >&2
  exit 2
fi
to="$1" text="$2" from="${3:-10086110001}"
for n in "$to" "$from"; do
  if ! [[ "$n" =~ ^[0-9]{1,20}$ ]]; then
    echo "send_message: '$n' is not a phone number" >&2
    exit 2
  fi
done
if [ -z "$text" ]; then
  echo "send_message: empty text" >&2
  exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# sipp's [len] counts bytes, so Chinese UTF-8 text keeps a correct length.
timeout 15 sipp "$SIP_IP:$SIP_PORT" -sf "$TOOLS/sip/send_message.xml" \
  -i "$SIP_IP" -m 1 -nostdin -timeout 10s -timeout_error \
  -key from "$from" -key to "$to" -key domain "$SIP_DOMAIN" -key text "$text" \
  -trace_msg -message_file "$work/messages.log" </dev/null >/dev/null 2>"$work/stderr"
rc=$?

status="$(grep -a -m1 -E '^SIP/2.0 [2-6][0-9][0-9]' "$work/messages.log" 2>/dev/null | tr -d '\r')"
if [ $rc -eq 0 ]; then
  echo "send_message: delivered to $to (${status:-no status})"
  exit 0
fi
echo "send_message: not delivered to $to: ${status:-no answer from $SIP_IP:$SIP_PORT}" >&2
exit 1
