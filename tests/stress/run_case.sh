#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one stress case in a process group of its own, then ends whatever the
# case left running (the stand-in service, sipp peers), also when the case
# crashed or ctest stopped it.
#   tests/stress/run_case.sh PROGRAM [ARG...]
set -u
setsid "$@" &
pid=$!
cleanup() {
  kill -TERM -- "-$pid" 2>/dev/null
  sleep 0.5
  kill -KILL -- "-$pid" 2>/dev/null
  rm -rf "/tmp/ravelo-stress-$pid"
}
trap 'cleanup; exit 143' TERM INT
wait "$pid"
rc=$?
cleanup
exit $rc
