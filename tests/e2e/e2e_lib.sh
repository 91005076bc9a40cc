# Shared by the end-to-end scripts: the real Sonarix.exe under Wine on the session's virtual
# display, driven with xdotool as a user would, recording the PulseAudio null sink's monitor.
# Positions are relative to the main window's top-left corner (Wine draws the frame: no window
# manager runs), in the dialog font of the test prefix.

# Where things are in the main window.
FIELD_X=240; FIELD_Y=229      # the file-name field 1012
START_X=33; START_Y=229       # toolbar: start / resume
STOP_X=63; STOP_Y=229         # toolbar: stop
PAUSE_X=94; PAUSE_Y=229       # toolbar: pause
MARKER_X=162; MARKER_Y=229    # toolbar: marker
CLOSE_X=334; CLOSE_Y=12       # the close box
SHOT_SIZE=350x345             # the whole window, for screenshots
MINIMISE_X=300; MINIMISE_Y=12 # the minimise button
TAB1_X=95; TAB1_Y=41          # the "設定" tab
TAB0_X=40; TAB0_Y=41          # the "メイン" tab
SEQ_ENABLE_X=37; SEQ_ENABLE_Y=63     # settings page: check box 1018
SEQ_FOLDER_X=145; SEQ_FOLDER_Y=99    # folder field 1013
SEQ_SUBDIR_X=37; SEQ_SUBDIR_Y=128    # check box 1024
SEQ_PREFIX_X=185; SEQ_PREFIX_Y=173   # prefix field 1015
SEQ_COUNT_X=258; SEQ_COUNT_Y=173     # counter field 1016
FORMAT_X=273; FORMAT_Y=213           # the sound format button 1019
SOURCE_X=113; SOURCE_Y=213           # the recording source button 1000
# In the sound format dialog, from its own top-left corner.
MONO_X=35; MONO_Y=53
RATE_X=168; RATE_Y=89
TYPE_X=168; TYPE_Y=121
OK_X=275; OK_Y=44

passed=0
failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

# Starts the program from its own folder $work (its settings file lands there). With the word
# "traced", Wine logs the texts of its windows, so that window_texts can tell what a message
# box said.
start_program() {
  local debug=$WINEDEBUG
  [ "${1:-}" = traced ] && debug=-all,trace+win
  cp "$SONARIX_EXE" "$work/Sonarix.exe"
  (cd "$work" && WINEDEBUG=$debug exec wine Sonarix.exe) >"$work/wine.log" 2>&1 &
  program=$!
  window=""
  for _ in $(seq 300); do # Wine's own start after its server was ended takes a while when busy
    window=$(xdotool search --name '^Sonarix$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "FAILED: the main window did not appear"; cat "$work/wine.log"; exit 1; }
  sleep 0.5
  origin_x=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
  origin_y=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
}

# The texts the traced program has put into its windows so far, one a line (long ones cut).
window_texts() { python3 "$(dirname "${BASH_SOURCE[0]}")/window_texts.py" "$work/wine.log"; }
# Whether a window of the traced program began with this text (a message box, say). grep reads
# to the end: with -q it would stop at the first match and, under pipefail, the reader's broken
# pipe would make a match a failure.
shown() { window_texts | grep -F -- "$1" >/dev/null; }

click() { # click X Y, relative to the main window
  xdotool mousemove $((origin_x + $1)) $((origin_y + $2)) click 1
  sleep 0.3
}

type_into() { # type_into X Y TEXT: replaces a field's text
  click "$1" "$2"
  xdotool key ctrl+a BackSpace
  xdotool type --delay 20 "$3"
  sleep 0.2
}

type_file_name() { type_into "$FIELD_X" "$FIELD_Y" "$1"; }

# The program's windows with the caption "Sonarix": the main window and any message box.
sonarix_windows() { xdotool search --name '^Sonarix$' 2>/dev/null | wc -l; }

# Waits up to 10 s for a message box over the main window, then answers it with Enter.
dismiss_message() {
  for _ in $(seq 100); do
    [ "$(sonarix_windows)" -ge 2 ] && { sleep 0.3; xdotool key Return; sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}

# Clicks in the sound format dialog, relative to its own corner.
click_in_format_dialog() {
  local d x y
  d=$(xdotool search --name 'サウンドの形式' | head -1)
  x=$(xdotool getwindowgeometry "$d" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
  y=$(xdotool getwindowgeometry "$d" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
  xdotool mousemove $((x + $1)) $((y + $2)) click 1
  sleep 0.3
}

# Closes the program with the close box and waits for it. A traced one that holds a box about a
# stretch without sound (see answer_stretch_report) has it answered and is closed again. One that
# does not end is said (its windows, and what a traced one last put in them) and ended, so that
# the next case starts alone.
close_program() {
  click "$CLOSE_X" "$CLOSE_Y"
  wait_for_exit && return 0
  answer_stretch_report closing
  if [ -n "$stretch_said" ]; then
    wait_for_exit && return 0
    click "$CLOSE_X" "$CLOSE_Y"
    wait_for_exit && return 0
  fi
  echo "the program did not end; its windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null |
    grep -v '^$' | tr '\n' '|')"
  window_texts 2>/dev/null | grep -F '。' | tail -3 | sed 's/^/  it said: /' || true
  kill -9 "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  return 1
}

# A stretch without sound is the program's to say in a box at the stop (traced programs): when
# the machine itself lost sound (a virtual machine not run for seconds, its sound server with
# it), what it said is printed and answered, so that a case about something else is not held to
# what its machine did. Waits up to 3 s for it; any other box is left for the close to fail on.
# Sets stretch_said when it did.
answer_stretch_report() { # answer_stretch_report CASE
  stretch_said=""
  [ -s "$work/wine.log" ] || return 0
  for _ in $(seq 30); do
    [ "$(sonarix_windows)" -ge 2 ] && break
    sleep 0.1
  done
  [ "$(sonarix_windows)" -ge 2 ] || return 0
  sleep 0.3
  local said
  said=$(window_texts | grep -F '音声が届かなかった時間が' | tail -1) || return 0
  echo "$1: sound was lost on this machine, and the program said so: $said"
  stretch_said=1
  xdotool key Return
  sleep 0.3
}

# A list of chapters or cue points ("POSITION LABEL") without the stretches without sound the
# program marks (what the machine lost is not the case's).
without_stretches() { grep -v -E '^[^ ]+ (Gap|Lost) [0-9]+ ' || true; }

# Sample frames of a WAV file as each reader counts them.
frames_sox() { sox "$1" -n stat 2>&1 | awk -v c="$(soxi -c "$1")" '/Samples read/ { print $3 / c }'; }
frames_soxi() { soxi -s "$1"; }
frames_ffprobe() { ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$1"; }
frames_ffmpeg() { # decoded, not from the header
  ffmpeg -v error -i "$1" -f s16le -acodec pcm_s16le - | wc -c |
    awk -v c="$(ffprobe -v error -show_entries stream=channels -of csv=p=0 "$1")" '{ print $1 / 2 / c }'
}
frames_sndfile() { sndfile-info "$1" | awk '/^Frames/ { print $3 }'; }
frames_python() {
  python3 -c "import wave,sys; w=wave.open(sys.argv[1]); print(len(w.readframes(1 << 31)) // (w.getsampwidth() * w.getnchannels()))" "$1"
}

# Waits up to 30 s until the file holds at least BYTES bytes: wait_for_size FILE BYTES.
wait_for_size() {
  for _ in $(seq 300); do
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to 30 s for the program to end (its files completed: up to 10 s of it by its own rule,
# longer on a machine that runs it slowly).
wait_for_exit() {
  for _ in $(seq 300); do kill -0 "$program" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

tone_start() { # tone_start [FREQUENCY]: 1000 Hz unless said
  sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 600 sine "${1:-1000}" vol 0.5 |
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
# A file's markers as FFmpeg reads them (chapters: "start_time title"), and as libsndfile does
# (cue points: "position label"; it shows the first nine).
chapters() { ffprobe -v error -show_chapters -of csv=p=0 "$1" | awk -F, '{ print $4, $7 }'; }
cue_points() {
  sndfile-info "$1" | awk '/Cue ID/ { pos[++n] = $7 } /labl :/ { sub(/.*labl : [0-9]+ : /, ""); print pos[++m], $0 }'
}
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

# The settings file as text (it is UTF-16 when the program made it).
ini_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16 -t UTF-8 "$1"; else cat "$1"; fi
}
