#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tests/isolated.sh: a test killed as ctest kills one at its time-out leaves
# nothing running, also a server that detached itself (setsid, double fork);
# and a test's own exit status comes back through it.
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: PID namespaces need root"
  exit 0
fi
fails=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; fails=$((fails + 1)); fi
}
# Waits (bounded) for COMMAND to hold.
poll() {
  local seconds=$1 end
  shift
  end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

mark="ravelo-isolated-$$"
# Counts the stand-in's processes: their names begin with the mark.
count() { pgrep -fc "^$mark"; }
# A stand-in for a test: one server in the foreground's family, one that
# detaches (new session, parent gone), then waits for ever.
bash "$HERE/isolated.sh" bash -c "
  exec -a $mark-child sleep 300 &
  setsid bash -c '(exec -a $mark-daemon sleep 300 &)' &
  exec -a $mark-test sleep 300" &
test_pid=$!
up() { [ "$(count)" -eq 3 ]; }
gone() { [ "$(count)" -eq 0 ]; }
check "the test's servers are up" poll 10 up
kill -KILL "$test_pid"
wait "$test_pid" 2>/dev/null
check "killed at its time-out, it leaves nothing running" poll 10 gone
pkill -f "^$mark"

bash "$HERE/isolated.sh" bash -c "exit 7"
check "the test's exit status comes back" test "$?" -eq 7
bash "$HERE/isolated.sh" bash -c "ip -o link show up | grep -qv ' lo:'"
check "only the loopback is up inside" test "$?" -ne 0

[ "$fails" -eq 0 ]
