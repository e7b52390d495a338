#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Echo figures at a desk whose microphone hears the speaker, beside linphonec:
# tests/sound/echo_cancel.sh for each echo delay and loss, first with the
# engine, then with linphonec (its own echo canceller settings), in turns.
# Prints each run's FIGURE line and the load average (a benchmark, not a test).
#   bench/sound/echo.sh [BUILD_DIR=build] [ROUNDS=3] [DELAY_MS:DB ...]
#   (default 50:6 100:9 150:12)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_DIR=$(cd "${1:-build}" && pwd)
ROUNDS=${2:-3}
shift 2 2>/dev/null
PATHS=("$@")
[ ${#PATHS[@]} -gt 0 ] || PATHS=(50:6 100:9 150:12)
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$ROUNDS"); do
  for p in "${PATHS[@]}"; do
    for phone in engine linphonec; do
      "$ROOT/tests/isolated.sh" bash "$ROOT/tests/sound/echo_cancel.sh" "$BUILD_DIR" "${p%%:*}" "${p##*:}" "$phone" 2>&1 |
        grep -E "^FIGURE|^echo_figures" | sed "s/^/round $round, load $(cut -d' ' -f1 /proc/loadavg): /"
    done
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
