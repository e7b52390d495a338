#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Per-device variables are set and read by name through eval.
# shellcheck disable=SC2034,SC2154
# The client binary logged in and idle when a headset is plugged in and made
# the default (the desktop's sound settings): the next incoming call rings on
# the headset, and once answered the caller's recording is heard there too,
# nothing of either on the desk's speaker.
# Usage: headset_ring.sh BUILD_DIR. Bounded; stops everything it started.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: headset_ring.sh BUILD_DIR}" && pwd)
export BUILD_DIR
export RUNDIR=/tmp/ravelo-sound-headset-$$
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/headset-ring"

sound_start || sound_test_abort "no sound server"
sound_rec_start spk spk.monitor "$OUT/speaker.wav" || sound_test_abort "no recording"
sound_client_start || sound_test_abort "the client did not log in"
sound_headset_add || sound_test_abort "no headset"
# The user then picks it in the sound settings: a moment later, once the
# client has seen the new device come (its toolkit keeps the default it read
# at the start).
sleep 1
sound_defaults hs hsmic
sound_rec_start hs hs.monitor "$OUT/headset-speaker.wav" || sound_test_abort "no recording"

bash "$ROOT/tools/call_client.sh" 13800138000 4 >"$OUT/call.log" 2>&1 &
CALLER=$!
QUESTION=$(sound_window "^系统提示$") || sound_test_abort "no answer question"
opened=$(sound_now)
sleep 2.5 # a burst of the ring and its pause
xdotool windowfocus --sync "$QUESTION" key y
answered=$(sound_now)
wait "$CALLER"
ended=$(sound_now)
sleep 0.5
hs_start=$(sound_rec_stop hs)
spk_start=$(sound_rec_stop spk)

rel() { awk -v t="$1" -v s="$2" -v d="${3:-0}" 'BEGIN { printf "%.3f", t + d - s }'; }
for side in hs spk; do
  rec=$OUT/headset-speaker.wav start=$hs_start
  [ $side = spk ] && rec=$OUT/speaker.wav start=$spk_start
  ring=$(sound_check covers "$rec" 440+480 "$(rel "$opened" "$start")" "$(rel "$answered" "$start")")
  read -r first last share <<<"$(sound_check active "$rec" "$(rel "$answered" "$start" 0.5)" "$(rel "$ended" "$start")")"
  echo "FIGURE $side: ring in $ring of the question's time; after the answer sound in $share of the call"
  eval "ring_$side=$ring voice_$side=$share"
done
check "the ring sounds on the headset" sound_between "$ring_hs" 0.2 1
check "and not on the desk's speaker" sound_between "$ring_spk" 0 0
check "the caller is heard on the headset" sound_between "$voice_hs" 0.3 1
check "and not on the desk's speaker" sound_between "$voice_spk" 0 0
sound_test_end
