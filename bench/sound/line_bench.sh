#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Voice over a bad line, the engine beside linphonec on the same rig in one
# run (tests/sound/line.sh, each call in a network namespace of its own):
# per line (plain, 1 %, 3 %, 5 % loss, 0-60 ms jitter) and program, a call
# hearing the far end's tone (the longest drop-out, the share heard) and a
# call echoing bursts (the mouth-to-ear delay, its median). The two programs
# take turns, so both meet the same load.
#   bench/sound/line_bench.sh [BUILD_DIR=build] [BURSTS=25] [LINES="plain loss=1 loss=3 loss=5 jitter=60"]
# Root (namespaces, nftables). Prints the load before and after.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_DIR=$(cd "${1:-build}" && pwd)
BURSTS=${2:-25}
read -r -a LINES <<<"${3:-plain loss=1 loss=3 loss=5 jitter=60}"
TONE_SECONDS=15
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) ($(date -u +%FT%TZ))"
for line in "${LINES[@]}"; do
  for signal in tone bursts; do
    seconds=$TONE_SECONDS
    [ "$signal" = bursts ] && seconds=$BURSTS
    for program in engine linphonec; do
      timeout $((seconds + 90)) bash "$ROOT/tests/isolated.sh" \
        bash "$ROOT/tests/sound/line.sh" "$BUILD_DIR" "$program" "$line" "$signal" "$seconds" |
        grep -E "^(FIGURE|FAIL|bursts)" || echo "$program $line $signal: no figure"
    done
  done
  echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg) ($(date -u +%FT%TZ))"
