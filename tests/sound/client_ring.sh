#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The client binary on a virtual display with a private sound server: two
# incoming calls from the stand-in. The ring sounds, in a loop, while the
# answer question is open, and stops when it is answered (the caller's
# recording is then heard, and the hang-up tone when it hangs up) or declined.
# Prints the ring's start and stop against the question's opening and closing.
# Usage: client_ring.sh BUILD_DIR. Bounded; stops everything it started.
set -uo pipefail
BUILD_DIR=$(cd "${1:?usage: client_ring.sh BUILD_DIR}" && pwd)
export BUILD_DIR
export RUNDIR=/tmp/ravelo-sound-ring-$$
source "$(dirname "$0")/../../scripts/lib/sound.sh"
sound_test_begin "$BUILD/sound-tests/client-ring"
REC=$OUT/speaker.wav
# The question stays open until the ring (1 s on, 2 s off) has looped once:
# it is answered during its second burst.

sound_start || sound_test_abort "no sound server"
sound_record "$REC" || sound_test_abort "no recording"
sound_client_start || sound_test_abort "the client did not log in"

# Waits (at most 15 s) for the answer question: its window QUESTION, opened
# at OPENED.
question() {
  QUESTION=$(sound_window "^系统提示$") || return 1
  OPENED=$(sound_now)
}

# Bursts of the ring: about a second long, as loud as the ring file, and
# without the hang-up tone's 620 Hz (it shares 480 Hz with the ring).
rings() { sound_check track "$1" ring=440+480-620 | awk '$3 - $2 >= 0.3 && $4 >= -25'; }
looped() { [ "$(rings "$OUT/ringing.raw" | grep -c ring)" -ge 2 ]; }

# Rings the client ($1 = y to answer, n to decline); sets OPENED and CLOSED.
incoming() {
  local _
  sound_record_raw "$OUT/ringing.raw"
  bash "$ROOT/tools/call_client.sh" 13800138000 3 >>"$OUT/calls.log" 2>&1 &
  CALLER=$!
  question || return 1
  for _ in $(seq 75); do
    looped && break
    sleep 0.2
  done
  sound_record_raw_stop
  xdotool windowfocus --sync "$QUESTION" key "$1"
  CLOSED=$(sound_now)
  wait "$CALLER"
  return 0
}

incoming y || sound_test_abort "no answer question for the first call"
# Read back through eval below, by the case's name.
# shellcheck disable=SC2034
answered_opened=$OPENED answered_closed=$CLOSED
sleep 2.5 # the hang-up tone ends before the next ring
incoming n || sound_test_abort "no answer question for the second call"
# shellcheck disable=SC2034
declined_opened=$OPENED declined_closed=$CLOSED
sleep 1.5
sound_record_stop

rings "$REC" >"$OUT/rings.txt"
# The ring's stretches between two moments (recording time).
ring_between() { awk -v a="$1" -v b="$2" '$3 > a && $2 < b' "$OUT/rings.txt"; }

for case in answered declined; do
  opened=$(eval echo \$${case}_opened)
  closed=$(eval echo \$${case}_closed)
  o=$(sound_at "$opened")
  c=$(sound_at "$closed")
  during=$(ring_between "$o" "$c")
  first=$(echo "$during" | awk 'NR == 1 { print $2 }')
  last=$(echo "$during" | awk 'END { print $3 }')
  bursts=$(echo "$during" | grep -c ring)
  echo "FIGURE ring, $case call: question open $o-$c s; ring from ${first:--} s to ${last:--} s, $bursts bursts (recording time)"
  # The ring is started just before the question is shown.
  check "$case: the ring starts with the question" sound_between "${first:-99}" "$(sound_at "$opened" -0.5)" "$(sound_at "$opened" 1)"
  check "$case: it rings again while the question stays open" test "$bursts" -ge 2
  check "$case: the ring stops with the answer, mid-burst" sound_between "${last:-99}" "$o" "$(sound_at "$closed" 0.3)"
  check "$case: and rings no more" test -z "$(ring_between "$(sound_at "$closed" 0.5)" "$(sound_at "$closed" 4)")"
done

# The answered call: the caller's recording, then its hang-up and our tone.
read -r first last share <<<"$(sound_check active "$REC" "$(sound_at "$answered_closed" 0.5)" "$(sound_at "$declined_opened" -0.2)")"
echo "FIGURE answered call: sound from ${first} s to ${last} s, in ${share} of it"
check "answered: the caller is heard" awk -v a="$first" -v b="$last" 'BEGIN { exit !(a != "-" && b - a >= 2) }'
check "answered: the hang-up tone when the caller hangs up" \
  test -n "$(sound_onset "$REC" 480+620 "$(sound_at "$answered_closed" 2)" "$(sound_at "$declined_opened")" -20)"
sound_test_end
