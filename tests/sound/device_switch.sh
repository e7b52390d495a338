#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Per-device variables are set and read by name through eval.
# shellcheck disable=SC2034,SC2154
# A call through the engine while the desk's devices change as the desktop's
# sound settings change them: the call starts on the headset plugged in and
# chosen while the engine idled, moves to the desk's speaker and microphone when they are made the
# default, back to the headset, and to the desk again when the headset in use
# is unplugged. The far end (rtp_peer.py) sends noise around 600 Hz and
# records what it gets; the desk microphone hears noise around 1 kHz and the
# headset's around 1.4 kHz. So the far end's recording tells which
# microphone the call uses, and the two speakers' recordings which speaker.
# Prints how long the voice is gone at each change, each way, and checks it
# below 1 s. The call lasts until the changes are through (at most 45 s):
# on a loaded machine they take longer than a fixed call would.
# Usage: device_switch.sh BUILD_DIR. Bounded; stops everything it started.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: device_switch.sh BUILD_DIR}" && pwd)
export BUILD_DIR
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/device-switch"
PORT=15960 PEER=15964
DESK=1000 HEADSET=1400 FAR=600

sound_start || sound_test_abort "no sound server"
for n in DESK HEADSET FAR; do sound_check noise "$OUT/$n.wav" "${!n}" 30; done
sound_feed "$OUT/DESK.wav"
sound_rec_start spk spk.monitor "$OUT/speaker.wav" || sound_test_abort "no recording"

# The echo peer's SIP side, its answer pointing at the far end's port.
sed "s/\[media_port\]/$PEER/" "$ROOT/tools/sip/echo_uas.xml" >"$OUT/peer_uas.xml"
_sound_bg sipp -sf "$OUT/peer_uas.xml" -i 127.0.0.1 -p $PORT -mp $((PORT + 2000)) -nostdin >/dev/null 2>"$OUT/sipp.err"
_sound_bg "$SOUND_PYTHON" "$ROOT/tests/sound/rtp_peer.py" $PEER "$OUT/FAR.wav" "$OUT/far-end.wav" 30 >"$OUT/peer.log"
sound_wait_udp $PORT || sound_test_abort "the peer did not start"
ECHO_CALL_IDLE=3 "$BUILD/tests/sound/sound_echo_call" 127.0.0.1:$PORT 10086110888 45 PCMA/8000 >"$OUT/call.log" 2>&1 &
CALL=$!
# The headset plugged in and chosen while the engine idles, registered.
for _ in $(seq 100); do
  grep -q "^registered" "$OUT/call.log" && break
  sleep 0.1
done
grep -q "^registered" "$OUT/call.log" || sound_test_abort "no registration"
sound_headset_add || sound_test_abort "no headset"
sound_defaults hs hsmic
sound_feed_to hsin "$OUT/HEADSET.wav"
HEADSET_FEED=$!
sound_rec_start hs hs.monitor "$OUT/headset-speaker.wav" || sound_test_abort "no recording"

# Waits (at most $2 s) until the tone $1 sounds on the running speaker
# recording $3 after the wall time $4.
heard_after() {
  local _ rec=$3 copy=$OUT/now.wav start on
  for _ in $(seq $(($2 * 4))); do
    sleep 0.25
    start=$(awk -v n="$(stat -c %s "$rec")" -v t="$(sound_now)" 'BEGIN { printf "%.3f", t - (n - 44) / 16000 }')
    # Its head so far, through a copy with its length set.
    "$SOUND_PYTHON" -c "import sys, wave
data = open(sys.argv[1], 'rb').read()[44:]
w = wave.open(sys.argv[2], 'wb'); w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(data[:len(data) // 2 * 2]); w.close()" "$rec" "$copy" 2>/dev/null || continue
    on=$(sound_check track "$copy" "t=$1" | awk -v s="$(awk -v a="$4" -v b="$start" 'BEGIN { print a - b }')" '$3 > s')
    [ -n "$on" ] && return 0
  done
  return 1
}

answered=$(sound_wait_word "$OUT/call.log" answered 30) || sound_test_abort "the call was not answered"

# The phases of the call: what changed when, and which devices ("desk" or
# "headset") the voice should follow to.
PHASES=()
phase() {  # VOICE ACTION...
  local voice=$1 rec
  shift
  PHASES+=("$(sound_now) $voice")
  "$@"
  rec=$OUT/speaker.wav
  [ "$voice" = headset ] && rec=$OUT/headset-speaker.wav
  heard_after $FAR 6 "$rec" "${PHASES[-1]% *}"
  sleep 1.5 # a stretch of it before the next change
}
# The call starts on the headset chosen before it.
phase headset true
PHASES[0]="$answered headset"
phase desk sound_defaults spk mic
phase headset sound_defaults hs hsmic
hs_start=$(sound_rec_stop hs)
# Unplugged, its microphone hears nothing more (the feed would move on).
kill "$HEADSET_FEED"
phase desk sound_headset_remove
ended=$(sound_now)
kill -USR1 "$CALL" # hangs up
wait "$CALL"
rc=$?
spk_start=$(sound_rec_stop spk)
# The far end stops 6 s after the last packet.
for _ in $(seq 70); do [ -s "$OUT/far-end.wav" ] && break; sleep 0.2; done
far_start=$(awk '/^start/ { print $2 }' "$OUT/peer.log")
{ [ -s "$OUT/far-end.wav" ] && [ -n "$far_start" ]; } || sound_test_abort "the far end recorded nothing"

# Wall time to a recording's time ($3 seconds later).
rel() { awk -v t="$1" -v s="$2" -v d="${3:-0}" 'BEGIN { printf "%.3f", t + d - s }'; }
# Where tone $2 sounds in $1, as "START END" wall times (recording starting at $3).
spans() { sound_check track "$1" "v=$2" | awk -v s="$3" '$3 - $2 >= 0.1 { printf "%.3f %.3f\n", $2 + s, $3 + s }'; }
# The wall time the voice of $1 (spans) ends before $2 + 1 s, and the one it starts after $2.
last_before() { awk -v t="$2" '$1 < t + 1 { e = $2 } END { print e }' <<<"$1"; }
first_after() { awk -v t="$2" '$2 > t { print ($1 > t ? $1 : t); exit }' <<<"$1"; }
gap() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "-"; else printf "%.2f", b - a }'; }

mic_desk=$(spans "$OUT/far-end.wav" $DESK "$far_start")
mic_headset=$(spans "$OUT/far-end.wav" $HEADSET "$far_start")
spk_desk=$(spans "$OUT/speaker.wav" $FAR "$spk_start")
spk_headset=$(spans "$OUT/headset-speaker.wav" $FAR "$hs_start")
names=("plugged in while idle" "desk made the default" "headset made the default" "headset unplugged")
for i in "${!PHASES[@]}"; do
  read -r at voice <<<"${PHASES[$i]}"
  name=${names[$i]}
  next=$ended
  [ $((i + 1)) -lt ${#PHASES[@]} ] && next=${PHASES[$((i + 1))]% *}
  old=headset
  [ "$voice" = headset ] && old=desk
  eval "mic_new=\$mic_$voice mic_old=\$mic_$old spk_new=\$spk_$voice spk_old=\$spk_$old"
  if [ "$i" -eq 0 ]; then  # from the answer: the streams take a moment to run
    up=$(gap "$at" "$(first_after "$mic_new" "$at")")
    down=$(gap "$at" "$(first_after "$spk_new" "$at")")
    echo "FIGURE $name: from the answer, the $voice microphone heard after $up s, its speaker after $down s"
    check "$name: the far end gets the $voice microphone" sound_between "$up" 0 3
    check "$name: the $voice speaker plays the far end" sound_between "$down" 0 3
  else
    up=$(gap "$(last_before "$mic_old" "$at")" "$(first_after "$mic_new" "$at")")
    down=$(gap "$(last_before "$spk_old" "$at")" "$(first_after "$spk_new" "$at")")
    # (Below zero: the new voice came before the old one ended, no gap.)
    echo "FIGURE $name: the voice gone for $up s to the far end, $down s from it"
    check "$name: the far end gets the $voice microphone, a gap under 1 s" sound_between "$up" -99 1
    check "$name: the $voice speaker plays the far end, a gap under 1 s" sound_between "$down" -99 1
  fi
  # It lasts, and only it: checked from 1.5 s after the change to the next
  # (on a loaded machine, what the old microphone heard arrives that late).
  from=$(rel "$at" 0 1.5)
  rec=$OUT/speaker.wav rs=$spk_start
  [ "$voice" = headset ] && rec=$OUT/headset-speaker.wav rs=$hs_start
  check "$name: it lasts to the far end" \
    sound_covers "$OUT/far-end.wav" "$([ "$voice" = desk ] && echo $DESK || echo $HEADSET)" \
    "$(rel "$from" "$far_start")" "$(rel "$next" "$far_start")" 0.5
  check "$name: and next to nothing of the $old microphone" sound_between "$(sound_check covers "$OUT/far-end.wav" \
    "$([ "$old" = desk ] && echo $DESK || echo $HEADSET)" "$(rel "$from" "$far_start")" "$(rel "$next" "$far_start")")" 0 0.1
  check "$name: it lasts from the far end" sound_covers "$rec" $FAR "$(rel "$from" "$rs")" "$(rel "$next" "$rs")" 0.5
done
check "the call ends normally (no crash)" test "$rc" -eq 0
sound_test_end
