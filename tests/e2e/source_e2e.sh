#!/usr/bin/env bash
# What is recorded, chosen as a user chooses it, with the real Sonarix.exe under Wine, while the
# default sink plays 1 kHz and a second sink ("Second") 1.5 kHz:
#  1. the source dialog from the settings tab with the keyboard alone: the input
#     "Monitor of Second" chosen (a screenshot of the dialog); the settings file keeps its ID and
#     its name;
#  2. a recording holds the second sink's tone, and the window names the input above the waveform;
#  3. the computer's playback ("このPCの再生音"): Wine has no loopback, so the start is refused
#     with its message, and no file is made; the input chosen stays beside it.
#   source_e2e.sh SONARIX_EXE [SCREENSHOT_FOLDER]
# Runs in the session of scripts/session.sh (display, audio) with WINEPREFIX set.
set -euo pipefail
SONARIX_EXE=$1
shots=${2:-}
. "$(dirname "$0")/e2e_lib.sh"

work=$(mktemp -d /tmp/sonarix-e2e.XXXXXX)
second=""
second_tone=""
cleanup() {
  tone_stop
  kill "$second_tone" 2>/dev/null || true
  kill "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  [ -z "$second" ] || pactl unload-module "$second" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ini="$work/Sonarix.ini"
key() { xdotool key "$@"; sleep 0.4; }
ini_value() { ini_text "$ini" | sed -n "s/^$1=\\(.*\\)/\\1/p" | tr -d '\r'; }
# Waits up to 10 s for a window of this title.
window_named() {
  for _ in $(seq 100); do
    xdotool search --name "^$1\$" >/dev/null 2>&1 && { sleep 0.5; return 0; }
    sleep 0.1
  done
  return 1
}
# Records into FILE for about two seconds with the keyboard: Ctrl+R, Ctrl+S (from the main tab,
# where the file name is typed).
record_two_seconds() {
  click "$TAB0_X" "$TAB0_Y"
  type_file_name "$(winepath -w "$1")"
  key ctrl+r
  sleep 2
  [ -z "${2:-}" ] || import -window root -crop 350x280+"$origin_x"+"$origin_y" "$2"
  key ctrl+s
}

second=$(pactl load-module module-null-sink sink_name=vsink2 sink_properties=device.description=Second)
sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 600 sine 1500 vol 0.5 |
  pacat --playback --device=vsink2 --format=s16le --rate=48000 --channels=2 --latency-msec=20 &
second_tone=$!
tone_start
sleep 1

# 1. The tab control has the focus: Right shows the settings tab, Tab goes to its check box and
# on to the source button, Space opens the dialog; Alt+N to the inputs, End to the last (the
# second sink's monitor), Enter for OK.
start_program
key Right
key Tab
key Tab
key space
check "1: the source dialog opens from the keyboard" window_named "録音ソース"
key alt+n
key End
if [ -n "$shots" ]; then # the dialog with the frame Wine draws around it
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^録音ソース$' | head -1)")"
  import -window root -crop "$((WIDTH + 8))x$((HEIGHT + 30))+$((X - 4))+$((Y - 26))" "$shots/source.png"
fi
key Return

# 2. Recorded from the main tab (Ctrl+R takes the window there).
record_two_seconds "$work/second.wav" "${shots:+$shots/source-recording.png}"
check "1: closed" close_program
check "1: the input's ID kept" grep -q '^{0\.0\.1\.' <<<"$(ini_value InputDevice)"
check "1: the input's name kept" test "$(ini_value InputDeviceName)" = "Monitor of Second"
check "1: an input recorded" test "$(ini_value Source)" = 0
frequency=$(frequency_of "$work/second.wav")
echo "2: the chosen input's recording: $frequency Hz, $(duration_of "$work/second.wav") s"
check "2: the second sink's tone" between "$frequency" 1450 1550

# 3. The computer's playback: Alt+P in the dialog, Enter. Wine cannot read an output back.
start_program traced
click "$TAB1_X" "$TAB1_Y"
click "$SOURCE_X" "$SOURCE_Y"
window_named "録音ソース"
key alt+p
key Return
click "$TAB0_X" "$TAB0_Y"
type_file_name "$(winepath -w "$work/playback.wav")"
key ctrl+r
check "3: the playback's start is refused" dismiss_message
check "3: ...saying why" shown "この Windows では、このPCの再生音を録音できません"
check "3: no file" test ! -e "$work/playback.wav"
check "3: closed" close_program
check "3: the input kept beside the playback" test "$(ini_value InputDeviceName)" = "Monitor of Second"
check "3: the playback kept" test "$(ini_value Source)" = 1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
