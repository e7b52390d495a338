# shellcheck shell=bash disable=SC2034  # what it sets is for the scripts that source it
# A sound server of its own for a test or a benchmark: a private PulseAudio
# with a virtual speaker and microphone, what is played into the microphone,
# and what comes out of the speaker. Source it (it sources session.sh for the
# stand-in, the display and the client); everything it starts ends on exit.
#
#   sound_start            PulseAudio with sink "spk" (Speaker) and source "mic"
#                          (Microphone, fed through sink "micsrc"); exports
#                          PULSE_SERVER so every client in this shell uses it
#   sound_feed FILE        plays FILE into the microphone (in the background)
#   sound_record FILE      records the speaker (8 kHz mono wave) ...
#   sound_record_stop      ... until this; sets SOUND_REC_START, the wall time
#                          of the recording's first sample
#   sound_record_raw FILE  a raw recording beside it, readable while it grows
#   sound_echo_path MS DB  the speaker heard by the microphone, MS later and DB
#                          quieter, as from a desk's loudspeakers
#   sound_check ARGS       tests/sound/sound_check.py (tones, levels)
#   sound_now              wall time in seconds, millisecond precision

source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

SOUND_DIR=
_sound_pids=()

sound_cleanup() {
  local p
  for p in "${_sound_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${_sound_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  _sound_pids=()
  [ -n "$SOUND_DIR" ] && rm -rf "$SOUND_DIR"
  SOUND_DIR=
}
trap 'sound_cleanup; session_cleanup' EXIT

sound_now() { date +%s.%3N; }

_sound_bg() {  # runs a command in the background, ended on exit
  "$@" &
  _sound_pids+=($!)
}

sound_start() {
  SOUND_DIR=$(mktemp -d /tmp/ravelo-sound.XXXXXX) || return 1
  chmod 700 "$SOUND_DIR"
  export PULSE_SERVER=unix:$SOUND_DIR/native
  # Its devices as a program lists them, in the server's order.
  export SOUND_PLAYBACK_DEVICES="Speaker;MicrophoneFeed" SOUND_CAPTURE_DEVICES="Microphone"
  # Its own home and runtime folder: nothing of the user's sound set-up is
  # read or changed, and no client finds another server.
  HOME=$SOUND_DIR XDG_RUNTIME_DIR=$SOUND_DIR XDG_CONFIG_HOME=$SOUND_DIR \
    _sound_bg pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-target=stderr \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$SOUND_DIR/native" \
      --load="module-null-sink sink_name=spk sink_properties=device.description=Speaker" \
      --load="module-null-sink sink_name=micsrc sink_properties=device.description=MicrophoneFeed" \
      --load="module-remap-source source_name=mic master=micsrc.monitor source_properties=device.description=Microphone" \
      2>"$SOUND_DIR/pulseaudio.log"
  local _
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start:" >&2; cat "$SOUND_DIR/pulseaudio.log" >&2; return 1; }
  # Silence into both sinks keeps them running: an idle null sink delivers
  # nothing to its monitor, and recordings would lose the quiet stretches.
  # SOUND_LATENCY_MS: the sinks then run with a real device's short latency;
  # left alone a null sink renders up to 2 s ahead, so a sound stopped a
  # moment after it was handed over has been heard whole already.
  local sink latency=()
  [ -n "${SOUND_LATENCY_MS:-}" ] && latency=(--latency-msec="$SOUND_LATENCY_MS")
  for sink in spk micsrc; do
    _sound_bg pacat --playback "${latency[@]}" --device=$sink --rate=8000 --channels=1 --format=s16le /dev/zero
  done
}

sound_feed() {
  _sound_bg paplay --device=micsrc "$1"
  SOUND_FEED_PID=$!
}

sound_echo_path() {
  local module input
  module=$(pactl load-module module-loopback source=spk.monitor sink=micsrc latency_msec="$1" \
    source_dont_move=1 sink_dont_move=1 rate=8000 channels=1 adjust_time=0) || return 1
  input=$(pactl list sink-inputs | awk -v m="$module" '/^Sink Input #/ { i = substr($3, 2) }
    $1 == "Owner" && $3 == m { print i }')
  [ -n "$input" ] && pactl set-sink-input-volume "$input" "-$2dB"
}

sound_record() {
  SOUND_REC_FILE=$1
  _sound_bg parecord --device=spk.monitor --latency-msec=50 --rate=8000 --channels=1 --format=s16le \
    --file-format=wav "$1"
  SOUND_REC_PID=$!
  # Back once samples arrive (at most 10 s): what follows is on the record.
  local _
  for _ in $(seq 200); do
    if [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 2000 ]; then
      SOUND_REC_FLOWING=$(sound_now)
      return 0
    fi
    sleep 0.05
  done
  echo "parecord did not start" >&2
  return 1
}

# A second recording of the speaker, raw (8 kHz mono), that sound_check can
# read while it grows; until sound_record_raw_stop.
sound_record_raw() {
  _sound_bg parec --device=spk.monitor --latency-msec=20 --rate=8000 --channels=1 --format=s16le --raw >"$1"
  SOUND_RAW_PID=$!
}
sound_record_raw_stop() {
  kill "$SOUND_RAW_PID" 2>/dev/null
  wait "$SOUND_RAW_PID" 2>/dev/null
}

# The recording runs on the server's clock without gaps, so its first sample
# lies its length before the moment it was stopped.
sound_record_stop() {
  local stop
  stop=$(sound_now)
  kill -INT "$SOUND_REC_PID" 2>/dev/null
  wait "$SOUND_REC_PID" 2>/dev/null
  SOUND_REC_START=$("$SOUND_PYTHON" -c "import sys, wave; w = wave.open(sys.argv[2]); \
print('%.3f' % (float(sys.argv[1]) - w.getnframes() / w.getframerate()))" "$stop" "$SOUND_REC_FILE")
  # Samples lost on the way (an overloaded machine) would shift every time.
  awk -v s="$SOUND_REC_START" -v f="$SOUND_REC_FLOWING" 'BEGIN { if (s - f > 0.3)
    printf "NOTE the recording lost %.1f s: its times are off\n", s - f }'
}

# The system's own Python: a version manager's shim costs a second a call.
SOUND_PYTHON=$(command -v /usr/bin/python3 || command -v python3)
sound_check() { "$SOUND_PYTHON" "$ROOT/tests/sound/sound_check.py" "$@"; }

# --- for the sound tests ----------------------------------------------------
# Besides its checks (session.sh), a test prints "FIGURE ..." lines for the
# measured figures.

# Its output folder (recordings, logs, pictures; kept for a look after a run).
sound_test_begin() {
  OUT=$1
  rm -rf "$OUT"
  mkdir -p "$OUT"
}

sound_test_end() { checks_end; }

sound_test_abort() {
  echo "FAIL $*"
  _failures=$((_failures + 1))
  checks_end
}

# Waits (at most 5 s) until something listens on the UDP port.
sound_wait_udp() {
  local _
  for _ in $(seq 50); do
    [ -n "$(ss -Hlun "sport = :$1" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}

# A wall time ($1, plus $2 seconds) as seconds into the last recording.
sound_at() { awk -v t="$1" -v d="${2:-0}" -v s="$SOUND_REC_START" 'BEGIN { printf "%.3f", t + d - s }'; }

sound_between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

# The tone $2 sounds in at least the share $5 of the stretch $3..$4 of $1.
sound_covers() { sound_between "$(sound_check covers "$1" "$2" "$3" "$4")" "$5" 1; }

# ... in none of it.
sound_covers_none() { sound_between "$(sound_check covers "$1" "$2" "$3" "$4")" 0 0; }

# Where the tone $2 first sounds in the stretch $3..$4 of $1 (empty if not),
# at $5 dBFS or louder if given.
sound_onset() {
  sound_check track "$1" "tone=$2" |
    awk -v a="$3" -v b="$4" -v l="${5:--99}" '$3 > a && $2 < b && $4 >= l { print ($2 > a ? $2 : a); exit }'
}

# --- the client on a virtual display ----------------------------------------

# The stand-in, a display, the client logged in from its login window (Space
# accepts the stored account); output and log under $OUT. Sets WINDOW and the
# window's place X, Y. The client runs from a folder of its own ($OUT/app: the
# executable linked, the tones shared), so tests side by side keep their
# Info.ini and log apart.
sound_client_start() {
  private_client_dir "$OUT/app"
  start_standin >"$OUT/standin.log" 2>&1 || { echo "the stand-in did not start" >&2; return 1; }
  start_xvfb 1366x768 || return 1
  DEMO_AUTOLOGIN=0 prepare_info_ini
  unset QT_QPA_PLATFORM
  start_client "$OUT/client.log"
  local _
  WINDOW=
  for _ in $(seq 100); do
    WINDOW=$(xdotool search --name "^RaveloZent 1.3" 2>/dev/null | head -1)
    [ -n "$WINDOW" ] && break
    sleep 0.2
  done
  [ -n "$WINDOW" ] || { echo "no client window" >&2; return 1; }
  # Space accepts the login window once it is up and has the keyboard (a
  # loaded machine may take seconds to show it).
  local login=
  for _ in $(seq 100); do
    login=$(xdotool search --onlyvisible --name "^用户登录$" 2>/dev/null | head -1)
    [ -n "$login" ] && break
    sleep 0.2
  done
  [ -n "$login" ] || { echo "no login window" >&2; return 1; }
  sleep 1
  xdotool windowfocus --sync "$login" 2>/dev/null
  xdotool key space
  wait_for_log "登录成功" 30 || { echo "no registration" >&2; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
}

# Waits (at most 15 s) for a window named by the pattern; prints its id.
sound_window() {
  local _ id
  for _ in $(seq 300); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}

# A click at a place of the main window.
sound_click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }

# Dials a number from the number box with the IP-call button.
sound_dial() {
  sound_click 257 20
  xdotool key ctrl+a
  xdotool type --delay 20 "$1"
  sound_click 405 19
}

# The fill (0 to 100) of the level meters Sound_OUT and Sound_IN, read from a
# picture of the window ($1 keeps it): the share of a bar's middle row that
# is painted in the highlight colour.
sound_meters() {
  import -window root "$1" 2>/dev/null || return 1
  local bar y
  for y in 524 541; do
    convert "$1" -crop 94x1+$((X + 2))+$((Y + y)) +repage txt:- 2>/dev/null |
      awk -F'[(),]' 'NR > 1 { n++; if ($5 > $3 + 60) blue++ } END { printf "%d ", n ? 100 * blue / n : -1 }'
  done
  echo
}

# sound_wait_word FILE WORD SECONDS: waits (bounded) for a line "WORD VALUE"
# in FILE, which a peer or the echo call writes as things happen; prints VALUE.
sound_wait_word() {
  local v end=$((SECONDS + $3))
  while [ "$SECONDS" -le "$end" ]; do
    v=$(awk -v w="$2" '$1 == w { print $2; exit }' "$1" 2>/dev/null)
    [ -n "$v" ] && { echo "$v"; return 0; }
    sleep 0.1
  done
  return 1
}

# sound_meters_until FILE UNTIL OUT IN: pictures of the meters until the
# outgoing one shows at least OUT and the incoming one at least IN, or the
# clock (sound_now) passes UNTIL; prints the last "out in". A loaded machine
# draws them late, and a voice has pauses: one picture may fall on either.
sound_meters_until() {
  local m o i
  while :; do
    m=$(sound_meters "$1")
    read -r o i <<<"$m"
    [ "${o:--1}" -ge "$3" ] && [ "${i:--1}" -ge "$4" ] && break
    awk -v d="$2" -v n="$(sound_now)" 'BEGIN { exit !(n > d) }' && break
    sleep 0.2
  done
  echo "$m"
}

# --- a headset that comes and goes, and the desktop's choice of devices -----
#   sound_headset_add          sink "hs" (Headset) and source "hsmic"
#                              (HeadsetMic, fed through sink "hsin")
#   sound_headset_remove       unplugs it
#   sound_defaults SINK SOURCE what the desktop's sound settings make the defaults
#   sound_feed_to SINK FILE    plays FILE into a sink (in the background)
#   sound_rec_start NAME DEVICE FILE [LATENCY_MS] / sound_rec_stop NAME
#                              a recording of a source by name, several at a
#                              time; the stop prints its first sample's wall time

sound_headset_add() {
  SOUND_HEADSET_MODULES=$(
    pactl load-module module-null-sink sink_name=hs sink_properties=device.description=Headset &&
      pactl load-module module-null-sink sink_name=hsin sink_properties=device.description=HeadsetFeed &&
      pactl load-module module-remap-source source_name=hsmic master=hsin.monitor \
        source_properties=device.description=HeadsetMic
  ) || return 1
  # Kept running, like the desk's (sound_start), in short periods as a real
  # headset's are: a null sink left at its default latency works in blocks
  # of up to 2 s, and a stream moved onto it would wait for the next one.
  # The desk's devices too: the call comes back to them.
  local sink
  for sink in hs hsin spk micsrc; do
    _sound_bg pacat --playback --device=$sink --latency-msec=100 --rate=8000 --channels=1 --format=s16le /dev/zero
  done
}

sound_headset_remove() {
  local m
  for m in $(echo "$SOUND_HEADSET_MODULES" | sort -rn); do pactl unload-module "$m"; done
  pactl info | sed -n 's/^Default \(Sink\|Source\): /after the unplugging the default \1 is /p'
}

sound_defaults() { pactl set-default-sink "$1" && pactl set-default-source "$2"; }

sound_feed_to() { _sound_bg paplay --device="$1" "$2"; }

sound_rec_start() {
  _sound_bg parecord --device="$2" --latency-msec="${4:-50}" --rate=8000 --channels=1 --format=s16le --file-format=wav "$3"
  printf -v "_sound_rec_pid_$1" %s $!
  printf -v "_sound_rec_file_$1" %s "$3"
  local _
  for _ in $(seq 200); do
    [ "$(stat -c %s "$3" 2>/dev/null || echo 0)" -gt 2000 ] && return 0
    sleep 0.05
  done
  return 1
}

sound_rec_stop() {
  local pid file stop
  pid=_sound_rec_pid_$1 file=_sound_rec_file_$1
  stop=$(sound_now)
  kill -INT "${!pid}" 2>/dev/null
  wait "${!pid}" 2>/dev/null
  "$SOUND_PYTHON" -c "import sys, wave; w = wave.open(sys.argv[2]); \
print('%.3f' % (float(sys.argv[1]) - w.getnframes() / w.getframerate()))" "$stop" "${!file}"
}
