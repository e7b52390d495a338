#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A call through the engine at a desk whose microphone hears the speakers:
# what the speaker plays comes back into the microphone ECHO_MS later and
# ECHO_DB quieter. The far end (rtp_peer.py) talks 15 s (an artificial
# voice) and records what it gets; the near end says one
# utterance while the far end talks and the same again after it. Figures
# (echo_figures.py): how much of the echo the canceller removes (ERLE, 3 s
# after the far end starts talking, and after the double talk: at least
# 25 dB) and how much the near end's voice loses in the double talk (6 dB
# at most).
# Usage: echo_cancel.sh BUILD_DIR [ECHO_MS=100] [ECHO_DB=9] [engine|linphonec]
# (the phone in the call: the engine, or linphonec beside it). Bounded; stops
# everything it started.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: echo_cancel.sh BUILD_DIR [ECHO_MS] [ECHO_DB]}" && pwd)
export BUILD_DIR
ECHO_MS=${2:-100} ECHO_DB=${3:-9} PHONE=${4:-engine}
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/echo-cancel-$PHONE-$ECHO_MS-$ECHO_DB"
PORT=15970 PEER=15974
NEAR_AT=8 # the near end starts this long after the far end

# Sinks in short periods, as a real card's: the echo path's delay is then
# what it is set to, not a null sink's blocks of up to 2 s.
SOUND_LATENCY_MS=20 sound_start || sound_test_abort "no sound server"
(cd "$ROOT/tests/sound" && "$SOUND_PYTHON" echo_figures.py make "$OUT") || sound_test_abort "no voices"
sound_echo_path "$ECHO_MS" "$ECHO_DB" || sound_test_abort "no echo path"

# The peer's SIP side: it answers with PCMA (what rtp_peer.py speaks) at the far end's port.
sed -e "s/\[media_port\] RTP\/AVP \[\$pt\]/$PEER RTP\/AVP 8/" -e "s/\[\$rtpmap\]//" \
  -e '/<ereg regexp="m=audio/,/assign_to="offer,pt,rest,rtpmap"/d' -e '/<Reference variables="offer,rest"/d' "$ROOT/tools/sip/echo_uas.xml" >"$OUT/peer_uas.xml"
_sound_bg sipp -sf "$OUT/peer_uas.xml" -i 127.0.0.1 -p $PORT -mp $((PORT + 2000)) -nostdin >/dev/null 2>"$OUT/sipp.err"
_sound_bg "$SOUND_PYTHON" "$ROOT/tests/sound/rtp_peer.py" $PEER "$OUT/FAR.wav" "$OUT/far-end.wav" 40 timestamps >"$OUT/peer.log"
sound_wait_udp $PORT || sound_test_abort "the peer did not start"
sound_rec_start mic mic "$OUT/mic.wav" 1000 || sound_test_abort "no recording"
sound_rec_start spk spk.monitor "$OUT/speaker.wav" 1000 || sound_test_abort "no recording"
if [ "$PHONE" = linphonec ]; then
  # linphonec on the same rig, its echo canceller as it comes ([sound]
  # echocancellation and the rest left alone).
  mkdir -p "$OUT/lc/.local/share/linphone"
  printf '%s\n' "[sip]" "sip_port=$((PORT + 10))" "sip_tcp_port=0" "sip_tls_port=0" "auto_net_state_mon=0" \
    "[rtp]" "audio_rtp_port=$((PORT + 12))" "[sound]" "playback_dev_id=PulseAudio Unknown: Speaker" \
    "capture_dev_id=PulseAudio Unknown: Microphone" "ringer_dev_id=PulseAudio Unknown: Speaker" >"$OUT/lc/rc"
  # Its commands through a pipe that this shell holds open (read-write:
  # opening it never waits).
  mkfifo "$OUT/lc/in"
  exec 7<>"$OUT/lc/in"
  HOME=$OUT/lc _sound_bg script -qfc "linphonec -c $OUT/lc/rc -s sip:10086110888@127.0.0.1:$PORT" /dev/null \
    <"$OUT/lc/in" >"$OUT/call.log" 2>&1
  CALL=$!
else
  "$BUILD/tests/sound/sound_echo_call" 127.0.0.1:$PORT 10086110888 45 PCMA/8000 >"$OUT/call.log" 2>&1 &
  CALL=$!
fi

far_start=$(sound_wait_word "$OUT/peer.log" start 20) || sound_test_abort "the far end got no voice"
sleep "$(awk -v s="$far_start" -v d=$NEAR_AT -v n="$(sound_now)" 'BEGIN { w = s + d - n; print (w > 0 ? w : 0) }')"
near_wall=$(sound_now)
sound_feed "$OUT/NEAR.wav"
wait "$SOUND_FEED_PID"
sleep 1
if [ "$PHONE" = linphonec ]; then
  printf 'terminate\nquit\n' >&7 # (ended on exit if it lingers)
  rc=0
else
  kill -USR1 "$CALL" # hangs up
  wait "$CALL"
  rc=$?
fi
mic_start=$(sound_rec_stop mic)
spk_start=$(sound_rec_stop spk)
{ [ -n "$mic_start" ] && [ -n "$spk_start" ]; } || sound_test_abort "a recording was not readable"
echo "recordings: far end from $far_start, microphone from $mic_start, speaker from $spk_start, near end fed at $near_wall" >"$OUT/times"
# The far end stops 6 s after the last packet.
for _ in $(seq 70); do [ -s "$OUT/far-end.wav" ] && break; sleep 0.2; done
[ -s "$OUT/far-end.wav" ] || sound_test_abort "the far end recorded nothing"

(cd "$ROOT/tests/sound" && "$SOUND_PYTHON" echo_figures.py measure "$OUT" "$far_start" "$mic_start" "$spk_start") >"$OUT/figures" 2>&1
cat "$OUT/figures"
fig() { awk -v k="$1" '$1 == k { print $2 }' "$OUT/figures"; }
check "the call ends normally" test "$rc" -eq 0
check "the markers are found" test -n "$(fig erle)"
echo "FIGURE $PHONE, echo ${ECHO_MS} ms, ${ECHO_DB} dB quieter: ERLE $(fig erle) dB (3 s after the far end starts)," \
  "$(fig erle_after) dB after the double talk; the near end's voice $(fig double_talk) dB quieter in double talk"
# The stack trims the canceller's reference every 5 s to what the capture
# has taken (its log: "asking to drop N ms"), the first trims in the call's
# first seconds, and the filter learns anew after each: the figure 3 s in is
# reported, the settled one checked. That one is taken after the double
# talk, so a canceller that lost its way there fails.
check "ERLE at least 25 dB once settled, after the double talk" sound_between "$(fig erle_after)" 25 999
check "the near end loses at most 6 dB in double talk" sound_between "$(fig double_talk)" -99 6
sound_test_end
