#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One call over a bad line, through a private PulseAudio: the engine (or
# linphonec, the same stack as a user runs it, beside it in the benchmark)
# calls a sipp peer whose media lie behind a relay of the test's own
# (jitter_relay.py). Towards the caller the relay holds each packet a random
# 0..MS ms ("jitter=MS"), or nftables drops N % of them at random
# ("loss=N"); "plain" leaves the line alone. The signal:
#   tone    the far end (rtp_peer.py) sends a steady 1 kHz tone; from the
#           speaker's recording: the longest drop-out and the share of the
#           call that is heard (from 1 s after the tone's onset: the jitter
#           buffer's first second is its learning, not the line's)
#   bursts  the peer echoes RTP; 1 kHz bursts of 0.3 s each second into the
#           microphone; the mouth-to-ear delay of each burst to the speaker
# Prints FIGURE lines; with "check", checks the line's goals (tone: no
# drop-out over 60 ms) and what concealment and the jitter buffer achieve:
# 98 % heard and at most 10 drop-outs of 10 ms or more (jitter: 95 %, 15).
#   line.sh BUILD_DIR engine|linphonec plain|loss=N|jitter=MS tone|bursts SECONDS [check]
# Root in a network namespace of its own (tests/isolated.sh). Bounded; stops
# everything it started.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: line.sh BUILD_DIR PROGRAM LINE SIGNAL SECONDS [check]}" && pwd)
export BUILD_DIR
PROGRAM=${2:?} LINE=${3:?} SIGNAL=${4:?} HOLD=${5:?} CHECK=${6:-}
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/line/$PROGRAM-${LINE/=/}-$SIGNAL"
PORT=15970 RELAY=15974 ECHO=15978 PEER=15982
# A device's short latency: a null sink left alone renders seconds ahead,
# which no desk's sound card does.
export SOUND_LATENCY_MS=20
case $LINE in
  plain) NAME="$PROGRAM, plain line" JITTER=0 HEARD_PCT=98 MOST=10 ;;
  loss=*) NAME="$PROGRAM, ${LINE#loss=} % loss" JITTER=0 HEARD_PCT=98 MOST=10 ;;
  jitter=*) NAME="$PROGRAM, 0-${LINE#jitter=} ms jitter" JITTER=${LINE#jitter=} HEARD_PCT=95 MOST=15 ;;
  *) sound_test_abort "unknown line $LINE" ;;
esac

sound_start || sound_test_abort "no sound server"
# The call's speaker and microphone are the two channels of one stereo sink
# ("desk": left what the call plays, right what its microphone hears), so
# one recording of its monitor holds both, sample for sample: two
# recordings side by side drift apart by whatever their processes lag on a
# loaded machine.
desk_devices() {
  pactl load-module module-null-sink sink_name=desk channels=2 channel_map=front-left,front-right \
    sink_properties=device.description=Desk >/dev/null &&
    pactl load-module module-remap-sink sink_name=deskspk master=desk channels=1 master_channel_map=front-left \
      channel_map=mono remix=no sink_properties=device.description=DeskSpeaker >/dev/null &&
    pactl load-module module-remap-sink sink_name=deskfeed master=desk channels=1 master_channel_map=front-right \
      channel_map=mono remix=no sink_properties=device.description=DeskFeed >/dev/null &&
    pactl load-module module-remap-source source_name=deskmic master=desk.monitor channels=1 \
      master_channel_map=front-right channel_map=mono remix=no source_properties=device.description=DeskMic >/dev/null &&
    sound_defaults deskspk deskmic
}
desk_devices || sound_test_abort "no desk devices"
_sound_bg pacat --playback --latency-msec="$SOUND_LATENCY_MS" --device=desk --rate=8000 --channels=2 --format=s16le /dev/zero
nft_cleanup() { nft delete table ip line 2>/dev/null; }
trap 'nft_cleanup; sound_cleanup; session_cleanup' EXIT
if [[ $LINE == loss=* ]]; then
  nft -f - <<NFT || sound_test_abort "nftables refused the loss rule"
table ip line {
  chain in {
    type filter hook input priority 0;
    udp sport $RELAY counter
    udp sport $RELAY numgen random mod 100 < ${LINE#loss=} counter drop
  }
}
NFT
fi

# The far end and the line stand for other machines, which this machine's
# load does not slow down: as root they run in real time (a few per cent of
# a core), so what the caller hears is the line's doing, not theirs.
FAR=()
chrt -r 1 true 2>/dev/null && FAR=(chrt -r 1)

# The peer's SIP side answers with PCMA, its media pointing at the relay.
media=$ECHO
[ "$SIGNAL" = tone ] && media=$PEER
sed -e "s/\[media_port\]/$RELAY/" -e 's/RTP\/AVP \[\$pt\]/RTP\/AVP 8/' -e 's/\[\$rtpmap\]/a=rtpmap:8 PCMA\/8000/' -e 's/variables="offer,rest"/variables="offer,rest,pt,rtpmap"/' \
  "$ROOT/tools/sip/echo_uas.xml" >"$OUT/peer_uas.xml"
_sound_bg "${FAR[@]}" sipp -sf "$OUT/peer_uas.xml" -i 127.0.0.1 -p $PORT -mp $ECHO -rtp_echo -nostdin >/dev/null 2>"$OUT/sipp.err"
_sound_bg "${FAR[@]}" "$SOUND_PYTHON" "$ROOT/tests/sound/jitter_relay.py" $RELAY $media "$JITTER" $((HOLD + 20)) 7 >"$OUT/relay.log"
RELAY_PID=$!
sound_wait_udp $PORT || sound_test_abort "the peer did not start"
sound_wait_udp $RELAY || sound_test_abort "the relay did not start"

_sound_bg parecord --device=desk.monitor --latency-msec=20 --rate=8000 --channels=2 --format=s16le \
  --file-format=wav "$OUT/desk.wav"
REC_PID=$!
for _ in $(seq 200); do
  [ "$(stat -c %s "$OUT/desk.wav" 2>/dev/null || echo 0)" -gt 4000 ] && break
  sleep 0.05
done
if [ "$SIGNAL" = tone ]; then
  sound_check tone "$OUT/far.wav" 1000 $((HOLD + 10))
  _sound_bg "${FAR[@]}" "$SOUND_PYTHON" "$ROOT/tests/sound/rtp_peer.py" $PEER "$OUT/far.wav" "$OUT/far-end.wav" $((HOLD + 10)) \
    >"$OUT/peer.log"
else
  sound_check tone "$OUT/bursts.wav" 1000 $((HOLD + 10)) 0.3 0.7
  _sound_bg paplay --device=deskfeed "$OUT/bursts.wav"
fi

# The call, held HOLD seconds from the answer.
if [ "$PROGRAM" = engine ]; then
  ECHO_CALL_LOG=${ECHO_CALL_LOG:-} "$BUILD/tests/sound/sound_echo_call" 127.0.0.1:$PORT 10086110888 "$HOLD" PCMA/8000 >"$OUT/call.log" 2>&1
  rc=$?
else
  mkdir -p "$OUT/lc/.local/share/linphone"
  cat >"$OUT/lc/rc" <<RC
[sip]
sip_port=15990
sip_tcp_port=0
sip_tls_port=0
[rtp]
audio_rtp_port=15992
[sound]
playback_dev_id=PulseAudio Unknown: DeskSpeaker
ringer_dev_id=PulseAudio Unknown: DeskSpeaker
capture_dev_id=PulseAudio Unknown: DeskMic
RC
  # linphonec reads its commands from a terminal; they come through a pipe
  # held open both ways here (so neither end waits for the other).
  mkfifo "$OUT/lc/in"
  exec 7<>"$OUT/lc/in"
  # (Started here: a command sent to the background by a function would
  # read /dev/null instead.)
  HOME=$OUT/lc script -qfc "linphonec -c $OUT/lc/rc" /dev/null <"$OUT/lc/in" >"$OUT/lc/out" 2>&1 &
  _sound_pids+=($!)
  # It takes what is typed only a moment after its first prompt: asked for
  # help until it answers.
  for _ in $(seq 50); do
    grep -q "^.*Exit linphonec" "$OUT/lc/out" 2>/dev/null && break
    grep -q "linphonec>" "$OUT/lc/out" 2>/dev/null && echo "help quit" >&7
    sleep 0.2
  done
  echo "call sip:10086110888@127.0.0.1:$PORT" >&7
  rc=1
  for _ in $(seq 150); do
    if grep -q "connected" "$OUT/lc/out"; then
      sleep "$HOLD"
      echo terminate >&7
      rc=0
      break
    fi
    sleep 0.1
  done
  sleep 0.5
  echo quit >&7
  exec 7>&-
fi
[ "$rc" -eq 0 ] || { cat "$OUT/call.log" "$OUT"/lc/out 2>/dev/null | tail -20; sound_test_abort "the call failed"; }
kill "$RELAY_PID"
wait "$RELAY_PID"
dropped=
if [[ $LINE == loss=* ]]; then
  dropped=$(nft list table ip line | awk '/counter/ { for (i = 1; i <= NF; i++) if ($i == "packets") n[++k] = $(i + 1) }
    END { printf ", %d of %d packets dropped", n[2], n[1] }')
fi

sleep 0.5
kill -INT "$REC_PID"
wait "$REC_PID"
sound_check split "$OUT/desk.wav" "$OUT/speaker.wav" "$OUT/mic.wav"
if [ "$SIGNAL" = tone ]; then
  # From a second after the tone first sounds to half a second before it ends.
  read -r from to < <(sound_check track "$OUT/speaker.wav" t=1000 |
    awk 'NR == 1 { a = $2 } { b = $3 } END { if (NR) printf "%.3f %.3f\n", a + 1, b - 0.5 }')
  [ -n "${from:-}" ] || sound_test_abort "$NAME: the far end's tone never came"
  read -r longest share count < <(sound_check gaps "$OUT/speaker.wav" "$from" "$to")
  echo "FIGURE $NAME: longest drop-out ${longest} ms, heard in ${share} of ${from}..${to} s, $count drop-outs$dropped ($(cat "$OUT/relay.log"))"
  if [ -n "$CHECK" ]; then
    check "$NAME: most of the call is analysed" sound_between "$(awk -v a="$from" -v b="$to" 'BEGIN { print b - a }')" \
      $((HOLD - 3)) 99
    check "$NAME: no drop-out over 60 ms" sound_between "$longest" 0 60
    # Without concealment each lost packet is a drop-out (about 20 in 10 s
    # at 5 % loss, 97 % heard), and without it and the jitter buffer each
    # late one (about 70, 85 % heard). With both, a packet later than the
    # buffer allows (overtaken by others) still leaves a few short ones.
    check "$NAME: heard in $HEARD_PCT % of the call" sound_between "$share" "0.$HEARD_PCT" 1
    check "$NAME: at most $MOST drop-outs" sound_between "$count" 0 "$MOST"
  fi
else
  "$SOUND_PYTHON" - "$OUT" "$ROOT/tests/sound" "$NAME" <<'EOF'
import statistics, subprocess, sys
out, tools, name = sys.argv[1:4]

def onsets(path):
    lines = subprocess.run([sys.executable, tools + "/sound_check.py", "track", path, "k=1000"],
                           capture_output=True, text=True, check=True).stdout.split()
    return [float(lines[i + 1]) for i in range(0, len(lines), 4)]

# One recording's two channels: the same clock.
mouth, ear = onsets(out + "/mic.wav"), onsets(out + "/speaker.wav")
delays = []
for t in mouth:
    later = [e for e in ear if t <= e < t + 0.9]
    if later:
        delays.append(later[0] - t)
print("bursts (ms): " + " ".join("%.0f" % (d * 1000) for d in delays))
if not delays:
    sys.exit("no burst came back")
print("FIGURE %s: mouth-to-ear median %.0f ms over %d of %d bursts (%.0f..%.0f)"
      % (name, statistics.median(delays) * 1000, len(delays), len(mouth), min(delays) * 1000, max(delays) * 1000))
EOF
fi
sound_test_end
