#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mouth-to-ear delay of a call through the engine and a private PulseAudio:
# 1 kHz bursts into the virtual microphone during a call to an RTP-echo peer
# on loopback; the delay of each burst from the microphone to the speaker.
# Prints one line per burst and the median (a benchmark, not a test).
#   bench/sound/mouth_to_ear.sh [BUILD_DIR=build] [CODEC=PCMA/8000] [SECONDS=10]
# Needs the build's tests/sound/sound_echo_call; run it inside a network
# namespace of its own (tests/isolated.sh) or where UDP 15940/17940 are free.
set -uo pipefail
BUILD_DIR=$(cd "${1:-build}" && pwd)
export BUILD_DIR
CODEC=${2:-PCMA/8000}
SECONDS_IN_CALL=${3:-10}
source "$(dirname "$0")/../../scripts/lib/sound.sh"
OUT=$(mktemp -d /tmp/ravelo-mouth-to-ear.XXXXXX)
trap 'sound_cleanup; session_cleanup; rm -rf "$OUT"' EXIT
PORT=15940

sound_start || exit 1
# A burst of 0.3 s each second: each onset is told apart from the last echo.
sound_check tone "$OUT/bursts.wav" 1000 $((SECONDS_IN_CALL + 5)) 0.3 0.7
_sound_bg sipp -sf "$ROOT/tools/sip/echo_uas.xml" -i 127.0.0.1 -p $PORT -mp $((PORT + 2000)) -rtp_echo \
  -nostdin >/dev/null 2>&1
sound_wait_udp $PORT || { echo "the echo peer did not start" >&2; exit 1; }

# The microphone and the speaker, recorded side by side and stopped together:
# each recording's end marks the same moment.
for side in mic spk.monitor; do
  _sound_bg parecord --device=$side --latency-msec=10 --rate=8000 --channels=1 --format=s16le \
    --file-format=wav "$OUT/$side.wav"
  eval "rec_${side%%.*}=$!"
done
sleep 2
sound_feed "$OUT/bursts.wav"
"$BUILD/tests/sound/sound_echo_call" 127.0.0.1:$PORT 10086110888 "$SECONDS_IN_CALL" "$CODEC" >"$OUT/call.log" 2>&1 ||
  { echo "the call failed:" >&2; cat "$OUT/call.log" >&2; exit 1; }
# shellcheck disable=SC2154  # set by the eval above
kill -INT "$rec_mic" "$rec_spk"
wait "$rec_mic" "$rec_spk" 2>/dev/null

"$SOUND_PYTHON" - "$OUT" "$ROOT/tests/sound" "$CODEC" <<'EOF'
import statistics, subprocess, sys, wave
out, tools, codec = sys.argv[1:4]

def length(path):
    w = wave.open(path)
    return w.getnframes() / w.getframerate()

def onsets(path, shift):
    lines = subprocess.run([sys.executable, tools + "/sound_check.py", "track", path, "k=1000"],
                           capture_output=True, text=True, check=True).stdout.split()
    return [float(lines[i + 1]) + shift for i in range(0, len(lines), 4)]

mic, spk = out + "/mic.wav", out + "/spk.monitor.wav"
# Both end at the same moment: put both on the speaker recording's clock.
mouth = onsets(mic, length(spk) - length(mic))
ear = onsets(spk, 0.0)
delays = []
for t in mouth:
    later = [e for e in ear if t <= e < t + 0.9]
    if later:
        delays.append(later[0] - t)
for i, d in enumerate(delays):
    print("burst %d: %.0f ms" % (i + 1, d * 1000))
if not delays:
    sys.exit("no burst came back")
# The echo canceller needs the first bursts to settle; the median covers them.
print("mouth-to-ear delay (%s, echo peer on loopback, PulseAudio): median %.0f ms over %d bursts"
      % (codec, statistics.median(delays) * 1000, len(delays)))
EOF
