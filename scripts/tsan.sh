#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the engine tests, the call-control tests and the in-process
# end-to-end test with ThreadSanitizer (build-tsan/) and runs them. Exit 0
# only when every test passes and ThreadSanitizer reports nothing; reports
# go to build-tsan/tsan-reports/. See docs/threads.md.
#   bash scripts/tsan.sh
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
ROOT=$PWD
BUILD=${TSAN_BUILD_DIR:-$ROOT/build-tsan}
REPORTS=$BUILD/tsan-reports

cmake --preset tsan -B "$BUILD" >/dev/null || exit 1
cmake --build "$BUILD" --target engine_tests call_tests client_e2e_tests || exit 1

rm -rf "$REPORTS"
mkdir -p "$REPORTS"
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
failed=0
for t in engine/engine_tests call/call_tests e2e/client_e2e_tests; do
  name=$(basename "$t")
  # Each run in a network namespace of its own where possible: the engine
  # tests and the stand-in service use fixed loopback ports.
  TSAN_OPTIONS="suppressions=$ROOT/tests/tsan/suppressions.txt log_path=$REPORTS/$name exitcode=66" \
    bash "$ROOT/tests/isolated.sh" "$BUILD/tests/$t" >"$REPORTS/$name.out" 2>&1
  rc=$?
  reports=$(cat "$REPORTS/$name".[0-9]* 2>/dev/null | grep -c 'WARNING: ThreadSanitizer')
  echo "$name: exit $rc, $reports ThreadSanitizer reports"
  if [ "$rc" -ne 0 ] || [ "$reports" -ne 0 ]; then failed=1; fi
done
[ $failed -eq 0 ] && echo "tsan: clean" || echo "tsan: FAILED (see $REPORTS)"
exit $failed
