# Shared by the end-to-end scripts: the real Sonarix.exe under Wine on the session's virtual
# display, driven with xdotool as a user would, recording the PulseAudio null sink's monitor.
# Positions are relative to the main window's top-left corner (Wine draws the frame: no window
# manager runs), in the dialog font of the test prefix.

# Where things are in the main window.
FIELD_X=240; FIELD_Y=229      # the file-name field 1012
START_X=33; START_Y=229       # toolbar: start / resume
STOP_X=63; STOP_Y=229         # toolbar: stop
PAUSE_X=94; PAUSE_Y=229       # toolbar: pause
CLOSE_X=334; CLOSE_Y=12       # the close box
TAB1_X=95; TAB1_Y=41          # the "設定" tab
TAB0_X=40; TAB0_Y=41          # the "メイン" tab

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

# Starts the program from its own folder $work (its settings file lands there).
start_program() {
  cp "$SONARIX_EXE" "$work/Sonarix.exe"
  (cd "$work" && exec wine Sonarix.exe) >"$work/wine.log" 2>&1 &
  program=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --name '^Sonarix$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAILED: the main window did not appear"; cat "$work/wine.log"; exit 1; }
  sleep 0.5
  origin_x=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
  origin_y=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
}

click() { # click X Y, relative to the main window
  xdotool mousemove $((origin_x + $1)) $((origin_y + $2)) click 1
  sleep 0.3
}

type_file_name() {
  click "$FIELD_X" "$FIELD_Y"
  xdotool key ctrl+a BackSpace
  xdotool type --delay 20 "$1"
  sleep 0.2
}

# Waits up to 10 s for the program to end.
wait_for_exit() {
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

tone_start() {
  sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 600 sine 1000 vol 0.5 |
    pacat --playback --device=vsink --format=s16le --rate=48000 --channels=2 --latency-msec=20 &
  tone=$!
}

tone_stop() { kill "$tone" 2>/dev/null || true; }

# The duration in seconds ffprobe reads, and SoX's rough frequency of the second half.
duration_of() { ffprobe -v error -show_entries stream=duration -of csv=p=0 "$1"; }
frequency_of() {
  sox "$1" -n trim "$(echo "$(duration_of "$1") / 2" | bc -l)" remix 1 stat 2>&1 |
    sed -n 's/Rough\s*frequency:\s*\([0-9-]*\).*/\1/p'
}
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

# The settings file as text (it is UTF-16 when the program made it).
ini_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16 -t UTF-8 "$1"; else cat "$1"; fi
}
