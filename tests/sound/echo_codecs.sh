#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Each codec of the client's priority list that the engine and the peer both
# have, offered alone: the call to an RTP-echo peer negotiates it, and a 1 kHz
# tone played into the microphone comes back out of the speaker until the
# hang-up. Prints per codec the frequency and level heard.
#   echo_codecs.sh BUILD_DIR [CODEC...]   (default SPEEX/8000 G729/8000 GSM/8000 PCMA/8000 G722/8000)
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: echo_codecs.sh BUILD_DIR [CODEC...]}" && pwd)
export BUILD_DIR
shift
CODECS=("$@")
[ ${#CODECS[@]} -gt 0 ] || CODECS=(SPEEX/8000 G729/8000 GSM/8000 PCMA/8000 G722/8000)
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/echo-codecs"

PORT=15950
sound_start || sound_test_abort "no sound server"
sound_check tone "$OUT/tone.wav" 1000 60

# The payload type the peer must answer with: the static number, or the
# codec's name in its rtpmap line for a dynamic one.
answer_pattern() {
  case "$1" in
    PCMA/*) echo "^m=audio [0-9]+ RTP/AVP 8\s*$" ;;
    GSM/*) echo "^m=audio [0-9]+ RTP/AVP 3\s*$" ;;
    G722/*) echo "^m=audio [0-9]+ RTP/AVP 9\s*$" ;;
    G729/*) echo "^m=audio [0-9]+ RTP/AVP 18\s*$" ;;
    *) echo "^a=rtpmap:[0-9]+ ${1%%/*}/${1##*/}\s*$" ;;
  esac
}

# One recording for all calls; each call is looked at in its own stretch.
sound_feed "$OUT/tone.wav"
sound_record "$OUT/speaker.wav" || sound_test_abort "no recording"
for codec in "${CODECS[@]}"; do
  name=${codec%%/*}
  dir=$OUT/$name
  mkdir -p "$dir"
  _sound_bg sipp -sf "$ROOT/tools/sip/echo_uas.xml" -i 127.0.0.1 -p $PORT -mp $((PORT + 2000)) -rtp_echo \
    -nostdin -trace_msg -message_file "$dir/sip.log" >/dev/null 2>"$dir/sipp.err"
  peer=$!
  sound_wait_udp $PORT || sound_test_abort "the echo peer did not start"
  "$BUILD/tests/sound/sound_echo_call" 127.0.0.1:$PORT 10086110888 3 "$codec" >"$dir/call.log" 2>&1
  echo $? >"$dir/rc"
  kill "$peer" 2>/dev/null
  wait "$peer" 2>/dev/null
done
sleep 1
sound_record_stop

for codec in "${CODECS[@]}"; do
  name=${codec%%/*}
  dir=$OUT/$name
  check "$name: call answered and ended" test "$(cat "$dir/rc")" -eq 0
  check "$name: the peer answered with $codec" \
    grep -Eqi "$(answer_pattern "$codec")" <(tr -d '\r' <"$dir/sip.log" | sed -n '/^SIP\/2.0 200 OK/,/a=sendrecv/p')
  answered=$(awk '/^answered/ {print $2}' "$dir/call.log")
  hangup=$(awk '/^hangup/ {print $2}' "$dir/call.log")
  if [ -z "$answered" ] || [ -z "$hangup" ]; then continue; fi
  # In the recording's time. The streams run about a second after the answer
  # (the first call of a sound server takes longest; on a loaded machine the
  # speaker's stream may lag further behind).
  onset=$(sound_onset "$OUT/speaker.wav" 1000 "$(sound_at "$answered")" "$(sound_at "$hangup")")
  check "$name: the tone comes back during the call" test -n "$onset"
  [ -n "$onset" ] || continue
  to=$(sound_at "$hangup")
  peak=$(sound_check peak "$OUT/speaker.wav" "$onset" "$to")
  level=$(sound_check level "$OUT/speaker.wav" "$onset" "$to")
  share=$(sound_check covers "$OUT/speaker.wav" 1000 "$onset" "$to")
  echo "FIGURE codec $name: heard ${peak} Hz at ${level} dBFS, in ${share} of the call from its onset"
  check "$name: at 1 kHz" sound_between "$peak" 980 1020
  check "$name: loud (> -30 dBFS)" sound_between "$level" -30 0
  # The echo canceller takes bites out of a steady tone, large ones when the
  # machine is loaded (measured down to 0.29 with six builds around, G729
  # costing the most): a fifth of the call at least, and its last second.
  check "$name: until the hang-up" sound_between "$share" 0.2 1
  check "$name: still in the call's last second" \
    sound_between "$(sound_check covers "$OUT/speaker.wav" 1000 "$(sound_at "$hangup" -1)" "$to")" 0.1 1
  check "$name: and no more after it" \
    sound_covers_none "$OUT/speaker.wav" 1000 "$(sound_at "$hangup" 0.6)" "$(sound_at "$hangup" 1.0)"
done
sound_test_end
