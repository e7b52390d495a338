#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target of a fuzz build, one after the other, for RUNS
# executions each (default 10 million), at the lowest CPU priority, and prints
# one line per target: executions, seconds, coverage, corpus size, result.
#   tests/fuzz/campaign.sh BUILD_FUZZ_DIR [RUNS] [TARGET...]
# New inputs go to $CORPUS_DIR/<target> (default /tmp/ravelo-fuzz-corpus);
# a finding leaves crash-*/leak-*/oom-*/timeout-* files in $OUT_DIR.
set -uo pipefail
BUILD=$(cd "${1:?usage: campaign.sh BUILD_FUZZ_DIR [RUNS] [TARGET...]}" && pwd)
RUNS=${2:-10000000}
shift $(($# >= 2 ? 2 : 1))
SRC=$(cd "$(dirname "$0")" && pwd)
CORPUS_DIR=${CORPUS_DIR:-/tmp/ravelo-fuzz-corpus}
OUT_DIR=${OUT_DIR:-$PWD}
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(decrypt_text http_response http_url discovery_answer status_text message_sender load_settings)
declare -A MAX_LEN=([decrypt_text]=1200 [http_response]=2048 [http_url]=600 [discovery_answer]=260
                    [status_text]=600 [message_sender]=1400 [load_settings]=600)
# A smaller quarantine and no fill of fresh blocks: half the time per input,
# the same checks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=8:max_malloc_fill_size=0}
status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "$CORPUS_DIR/$t"
  log="$OUT_DIR/fuzz_$t.log"
  start=$(date +%s)
  nice -n 19 "$BUILD/tests/fuzz/fuzz_$t" -runs="$RUNS" -max_len="${MAX_LEN[$t]}" -print_final_stats=1 \
    -artifact_prefix="$OUT_DIR/" "$CORPUS_DIR/$t" "$SRC/corpus/$t" >"$log" 2>&1
  rc=$?
  secs=$(($(date +%s) - start))
  execs=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  cov=$(grep -a -E '^#[0-9]+[[:space:]]+DONE' "$log" | sed -E 's/.*cov: ([0-9]+).*/\1/')
  units=$(find "$CORPUS_DIR/$t" -type f | wc -l)
  result=$([ $rc -eq 0 ] && echo clean || echo "FINDING (exit $rc, see $log)")
  [ $rc -eq 0 ] || status=1
  printf '%-18s %12s executions %7ss  cov %-5s corpus %-5s %s\n' "$t" "${execs:-?}" "$secs" "${cov:-?}" "$units" "$result"
done
exit $status
