#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The client binary with no sound system at all (no sound server, no sound
# card): it starts, registers and calls the answering peer in silence, shows
# no dialog, and its log says once that calls have no sound.
# Usage: no_sound.sh BUILD_DIR. Skipped (77) where the kernel lists a card.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: no_sound.sh BUILD_DIR}" && pwd)
export BUILD_DIR
export RUNDIR=/tmp/ravelo-sound-none-$$
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/no-sound"

if grep -q '\[' /proc/asound/cards 2>/dev/null; then
  echo "this machine has a sound card"
  exit 77
fi
# A server address where none listens: no user's server is found, none is spawned.
export PULSE_SERVER=unix:$OUT/no-server

sound_client_start || sound_test_abort "the client did not log in"
check "starts and registers" wait_for_log "登录成功" 1
sound_dial 10086110001
check "the call is answered" wait_for_log "callanswer" 15
check "and ends when the peer hangs up" wait_for_log "callend" 15
sleep 1
import -window root "$OUT/after-call.png" 2>/dev/null
check "the client still runs" kill -0 "$CLIENT_PID"
check "no dialog came up" test -z "$(xdotool search --onlyvisible --name "^(系统提示|RaveloZent)$" 2>/dev/null)"
line="没有找到放音和录音设备，通话将没有声音"
count=$(iconv -f GBK -t UTF-8 -c "$(client_log)" 2>/dev/null | grep -c "$line")
echo "FIGURE no sound system: the log says \"$line\" $count time(s)"
check "one log line says the calls have no sound" test "$count" -eq 1
sound_test_end
