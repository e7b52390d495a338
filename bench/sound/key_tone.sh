#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How soon a dial-pad key is heard. The client binary on a virtual display,
# through a private PulseAudio, during a call to the stand-in's echo peer:
# the keys 1, 5 and 9 are clicked in turn, PRESSES clicks (xdotool); between
# the clicks `paplay` plays the same key's tone file into the same speaker
# (the anchor: a program that opens a stream just for the file). For each, the delay from the click
# (or paplay's start) to the tone's onset in the speaker's recording; the
# medians, their ratio and their difference; the first press of each key (the
# first of the session) and the 95th percentiles beside them. Both delays carry
# the same error of the recording's clock (tens of ms), which the difference
# cancels. With LOAD=N, N busy loops run beside it all along (a loaded
# machine). A benchmark, not a test.
#   [LOAD=2] bench/sound/key_tone.sh [BUILD_DIR=build] [PRESSES=20]
# Run it in a network namespace of its own: it starts the stand-in on its
# fixed ports, e.g. tests/isolated.sh bash bench/sound/key_tone.sh build
set -uo pipefail
BUILD_DIR=$(cd "${1:-build}" && pwd)
export BUILD_DIR
PRESSES=${2:-20}
export RUNDIR=/tmp/ravelo-bench-keytone-$$
source "$(dirname "$0")/../../scripts/lib/sound.sh"
OUT=$(mktemp -d /tmp/ravelo-key-tone.XXXXXX)
busy=()
trap 'kill "${busy[@]}" 2>/dev/null; sound_cleanup; session_cleanup; rm -rf "$OUT"' EXIT
for _ in $(seq "${LOAD:-0}"); do
  sh -c 'while :; do :; done' &
  busy+=($!)
done
# Keys (place in the main window, tone file, its two frequencies).
KEYS=("15 95 DTMF1 697+1209" "46 128 DTMF5 770+1336" "76 161 DTMF9 852+1477")

sound_start || exit 1
sound_record "$OUT/speaker.wav" || exit 1
sound_client_start || { echo "the client did not log in" >&2; exit 1; }
sleep 3 # past the login tone
# The echo peer holds the call for up to 60 s; the presses take 2 s each.
sound_dial 10086110888
wait_for_log "callanswer" 10 || { echo "the echo peer did not answer" >&2; exit 1; }
sleep 2
# Alternating, a second apart, so both meet the same load and each onset
# belongs to one start.
for i in $(seq 0 $((PRESSES - 1))); do
  read -r kx ky file _ <<<"${KEYS[i % 3]}"
  echo "anchor $file $(sound_now)" >>"$OUT/starts"
  paplay --device=spk "$BUILD/app/sound/$file.wav" &
  sleep 1
  echo "client $file $(sound_now)" >>"$OUT/starts"
  xdotool mousemove $((X + kx)) $((Y + ky)) click 1
  sleep 1
done
wait_for_log "callend" 1 && echo "NOTE the call ended before the last press" >&2
sound_record_stop

# shellcheck disable=SC2046  # one argument a key
SOUND_WINDOW=0.03 sound_check track "$OUT/speaker.wav" $(printf '%s\n' "${KEYS[@]}" | awk '{ print $3 "=" $4 }') >"$OUT/tones"
"$SOUND_PYTHON" - "$OUT" "$SOUND_REC_START" <<'EOF'
import statistics, sys
out, start = sys.argv[1], float(sys.argv[2])
onsets = [line.split()[:2] for line in open(out + "/tones")]
delays = {"anchor": [], "client": []}
for line in open(out + "/starts"):
    who, tone, wall = line.split()
    t = float(wall) - start
    # The recording's clock may run a little ahead: an onset up to 50 ms
    # before the start still belongs to it.
    later = [float(o) for name, o in onsets if name == tone and t - 0.05 <= float(o) < t + 0.95]
    delays[who].append(later[0] - t if later else None)
for who, ds in delays.items():
    print("%s (ms): %s" % (who, " ".join("%.0f" % (d * 1000) if d is not None else "-" for d in ds)))
heard = {who: [d for d in ds if d is not None] for who, ds in delays.items()}
if not heard["anchor"] or not heard["client"]:
    sys.exit("a tone was not heard at all")
a, c = statistics.median(heard["anchor"]), statistics.median(heard["client"])
def p95(ds):
    return sorted(ds)[max(0, -(-len(ds) * 95 // 100) - 1)]
firsts, first_delays, seen = [], [], set()
for line, d in zip([l.split() for l in open(out + "/starts") if l.startswith("client")], delays["client"]):
    if line[1] not in seen:
        seen.add(line[1])
        first_delays.append(d)
        firsts.append("%s %s" % (line[1], "%.0f" % (d * 1000) if d is not None else "-"))
print("load average: %s" % open("/proc/loadavg").read().split()[0])
# Both delays share the recording clock's error (tens of ms, either way):
# a ratio means something only when paplay's delay stands clear of it, the
# difference always.
def ratio(x, y):
    return "%.2f" % (x / y) if y > 0.03 else "n/a (paplay within the clock's error)"
print("first press of each key (ms): %s; later than paplay's median by at most %+.0f ms" % (
    ", ".join(firsts), (max(d for d in first_delays if d is not None) - a) * 1000 if any(
        d is not None for d in first_delays) else float("nan")))
pc, pa = p95(heard["client"]), p95(heard["anchor"])
print("95th percentile (ms): client %.0f, paplay %.0f; ratio %s, difference %+.0f ms" % (
    pc * 1000, pa * 1000, ratio(pc, pa), (pc - pa) * 1000))
print("key tone: click -> onset median %.0f ms (%d of %d heard); paplay of the same file: start -> onset "
      "median %.0f ms (%d of %d); ratio %s, difference %+.0f ms" % (
          c * 1000, len(heard["client"]), len(delays["client"]), a * 1000, len(heard["anchor"]),
          len(delays["anchor"]), ratio(c, a), (c - a) * 1000))
EOF
