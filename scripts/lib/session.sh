# shellcheck shell=bash disable=SC2034  # what it sets is for the scripts that source it
# Shared by the demo and the binary end-to-end test: the stand-in service, a
# virtual display, the client with a prepared Info.ini. Source it; it sets
# ROOT and BUILD and registers clean-up on exit.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build}
RUNDIR=${RUNDIR:-/tmp/ravelo-standin-$$}
export RUNDIR
# Where the client runs: its Info.ini, log/ and sound/ are beside it.
CLIENT_DIR=${CLIENT_DIR:-$BUILD/app}

_session_pids=()
_session_standin=0

# Running and not merely waiting to be reaped.
_alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
  [ -n "$state" ] && [ "$state" != Z ]
}

session_cleanup() {
  local p i
  # The client first, while its display and servers are still there: it
  # ends through its exit steps. Bounded; a client that hangs is killed.
  # A crash or a hang on the way out is a failure of whatever test ran.
  if [ -n "${CLIENT_PID:-}" ] && _alive "$CLIENT_PID"; then
    kill "$CLIENT_PID" 2>/dev/null
    for i in $(seq 100); do _alive "$CLIENT_PID" || break; sleep 0.1; done
    if _alive "$CLIENT_PID"; then
      kill -9 "$CLIENT_PID" 2>/dev/null
      echo "FAIL the client ends within 10 s of SIGTERM"
    else
      wait "$CLIENT_PID" 2>/dev/null
      p=$?
      [ "$p" -lt 128 ] || echo "FAIL the client ends cleanly on SIGTERM (exit status $p)"
    fi
  fi
  for p in "${_session_pids[@]}"; do
    kill "$p" 2>/dev/null || true
  done
  for p in "${_session_pids[@]}"; do
    wait "$p" 2>/dev/null || true
  done
  if [ "$_session_standin" = 1 ]; then
    bash "$ROOT/tools/standin.sh" stop >/dev/null 2>&1 || true
    rm -rf "$RUNDIR"
  fi
}
trap session_cleanup EXIT

# The web server on 127.0.0.1:8080, Kamailio on :5060 and the answering peer.
start_standin() {
  bash "$ROOT/tools/standin.sh" start || return 1
  _session_standin=1
}

# A virtual display on a free number; exports DISPLAY. The server picks the
# number itself, so sessions started at the same moment never share one.
# -noreset: an X server resets when its last client leaves, and a client
# connecting meanwhile fails ("could not connect to display", openbox's
# "Failed to open the display") — the probe below is such a last client.
start_xvfb() {
  local numfile n
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1:-1366x768}x24" -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
  _session_pids+=($!)
  for _ in $(seq 100); do
    n=$(tr -dc '0-9' <"$numfile")
    # Answering, not merely named: a client started earlier failed to
    # connect on a loaded machine.
    if [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ] && DISPLAY=:$n xprop -root >/dev/null 2>&1; then
      rm -f "$numfile"
      export DISPLAY=:$n
      return 0
    fi
    sleep 0.1
  done
  rm -f "$numfile"
  echo "Xvfb did not start" >&2
  return 1
}

# A folder of its own for the client: the executable linked, the tones
# shared, so sessions side by side keep their Info.ini and log apart.
# Sets CLIENT_DIR.
private_client_dir() {
  CLIENT_DIR=$1
  mkdir -p "$CLIENT_DIR"
  ln -f "$BUILD/app/RaveloZent" "$CLIENT_DIR/" 2>/dev/null || cp "$BUILD/app/RaveloZent" "$CLIENT_DIR/"
  ln -sfn "$BUILD/app/sound" "$CLIENT_DIR/sound"
}

# Info.ini beside the executable with the demo account, enciphered by the
# client's own cipher. AutoLogin 0: the login window comes up filled in.
prepare_info_ini() {
  "$BUILD/tools/ravelo_make_ini" "$CLIENT_DIR" "${DEMO_ACCOUNT:-13800138000}" "${DEMO_PASSWORD:-123456}" \
    "${DEMO_AUTOLOGIN:-0}" gmcc
}

# Starts the client in its folder (sounds and the log are relative to it);
# its output goes to $1. Sets CLIENT_PID.
start_client() {
  [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
  (cd "$CLIENT_DIR" && exec ./RaveloZent) >"$1" 2>&1 &
  CLIENT_PID=$!
  _session_pids=("$CLIENT_PID" "${_session_pids[@]}")
}

# Today's log file of the demo account.
client_log() {
  echo "$CLIENT_DIR/log/${DEMO_ACCOUNT:-13800138000}_$(date +%Y%m%d).txt"
}

# Waits until the client's log holds $1 (grep pattern), at most $2 seconds.
wait_for_log() {
  local pattern=$1 limit=${2:-20} i
  for i in $(seq $((limit * 5))); do
    if [ -f "$(client_log)" ] && grep -q -- "$pattern" <(iconv -f GBK -t UTF-8 -c "$(client_log)"); then
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# --- reporting ---------------------------------------------------------------
# A test prints "PASS name" or "FAIL name" per check and ends with
# "N passed, N failed" (checks_end). A library may define on_check_failure
# NAME to keep evidence of a failed check.

_passes=0
_failures=0

check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    echo "PASS $name"
    _passes=$((_passes + 1))
  else
    echo "FAIL $name"
    _failures=$((_failures + 1))
    if declare -F on_check_failure >/dev/null; then on_check_failure "$name"; fi
  fi
}

# Prints the count and ends the test with its verdict.
checks_end() {
  echo "$_passes passed, $_failures failed"
  [ "$_failures" -eq 0 ]
  exit $?
}
