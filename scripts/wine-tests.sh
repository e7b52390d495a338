#!/usr/bin/env bash
# Runs the Windows test programs of core/ and net/ under Wine, in a Wine
# prefix of their own that is removed afterwards, and trades Info.ini files
# with the Linux build. Prints one summary in GoogleTest's form.
#   scripts/wine-tests.sh <windows build folder> [<Linux parity_tests binary>]
# Exit status: 0 all passed, 1 a failure, 77 nothing to run (no Windows build
# or no Wine).
set -uo pipefail

WIN_BUILD=${1:?usage: wine-tests.sh <windows build folder> [linux parity_tests]}
LINUX_PARITY=${2:-}
PROGRAMS=(tests/core/core_tests.exe tests/net/net_tests.exe tests/win/win_tests.exe)

WINE=$(command -v wine64 || true)
[ -z "$WINE" ] && [ -x /usr/lib/wine/wine64 ] && WINE=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || true)
[ -z "$WINESERVER" ] && [ -x /usr/lib/wine/wineserver ] && WINESERVER=/usr/lib/wine/wineserver
if [ -z "$WINE" ]; then
  echo "wine-tests: wine64 is not installed; skipped"
  exit 77
fi
for p in "${PROGRAMS[@]}"; do
  if [ ! -f "$WIN_BUILD/$p" ]; then
    echo "wine-tests: $WIN_BUILD/$p is missing (no Windows build); skipped"
    exit 77
  fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ravelo-wine.XXXXXX")
export WINEPREFIX=$WORK/prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  [ -n "$WINESERVER" ] && "$WINESERVER" -k >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

# A Chinese Windows: Wine takes the ANSI code page (936) from the locale's
# name, and needs the locale itself to map Chinese file names.
WINE_ENV=(env LC_ALL=zh_CN.UTF-8)
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  mkdir -p "$WORK/locale"
  if localedef -i zh_CN -f UTF-8 "$WORK/locale/zh_CN.UTF-8" >/dev/null 2>&1; then
    WINE_ENV+=(LOCPATH="$WORK/locale")
  else
    echo "wine-tests: no zh_CN.UTF-8 locale (Debian: locales); Chinese-path tests will skip"
    WINE_ENV=(env)
  fi
fi

if ! timeout 120 "${WINE_ENV[@]}" "$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1; then
  echo "wine-tests: creating the Wine prefix failed"
  cat "$WORK/wineboot.log"
  exit 1
fi

EXCHANGE=$WORK/exchange
mkdir -p "$EXCHANGE"
total=0 passed=0 skipped=0 failed=0
failures=()

# Runs one GoogleTest program and adds its counts; `label` names it.
run() {
  local label=$1; shift
  local log=$WORK/run.log
  timeout 180 "$@" >"$log" 2>&1
  local rc=$?
  sed -i 's/\r$//' "$log"  # Windows programs end their lines with CR LF
  local ran pass skip fail
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$log" | tail -1)
  pass=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log" | tail -1)
  skip=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?,.*/\1/p' "$log" | tail -1)
  fail=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?,.*/\1/p' "$log" | tail -1)
  total=$((total + ${ran:-0})); passed=$((passed + ${pass:-0}))
  skipped=$((skipped + ${skip:-0})); failed=$((failed + ${fail:-0}))
  grep -E '^\[  (FAILED|SKIPPED) \] [A-Za-z0-9_./]+$' "$log" | sed "s|^|$label: |"
  if [ $rc -ne 0 ] || [ -z "$ran" ]; then
    failures+=("$label (exit $rc)")
    [ -z "$fail" ] && failed=$((failed + 1))
    echo "---- $label output ----"
    tail -60 "$log"
    echo "----"
  fi
}

WIN_EXCHANGE="Z:${EXCHANGE//\//\\}"
if [ -n "$LINUX_PARITY" ]; then
  RAVELO_INI_EXCHANGE=$EXCHANGE run "linux parity_tests (write)" \
    "$LINUX_PARITY" --gtest_filter='IniExchange.LiveWrite*'
fi
for p in "${PROGRAMS[@]}"; do
  if [ -n "$LINUX_PARITY" ]; then
    RAVELO_INI_EXCHANGE=$WIN_EXCHANGE RAVELO_INI_EXCHANGE_REQUIRED=1 \
      run "$(basename "$p")" "${WINE_ENV[@]}" "$WINE" "$WIN_BUILD/$p"
  else
    run "$(basename "$p")" "${WINE_ENV[@]}" "$WINE" "$WIN_BUILD/$p"
  fi
done
if [ -n "$LINUX_PARITY" ]; then
  RAVELO_INI_EXCHANGE=$EXCHANGE RAVELO_INI_EXCHANGE_REQUIRED=1 run "linux parity_tests (read)" \
    "$LINUX_PARITY" --gtest_filter='IniExchange.LiveRead*'
fi

echo "[==========] $total tests from ${#PROGRAMS[@]} Windows programs under Wine$([ -n "$LINUX_PARITY" ] && echo " and the Linux exchange") ran."
echo "[  PASSED  ] $passed tests."
[ $skipped -gt 0 ] && echo "[  SKIPPED ] $skipped tests."
if [ $failed -gt 0 ] || [ ${#failures[@]} -gt 0 ]; then
  echo "[  FAILED  ] $failed tests${failures[*]:+; programs: ${failures[*]}}"
  exit 1
fi
exit 0
