#!/usr/bin/env bash
# Left recording, as a scheduler or a script drives it: `Sonarix.exe /record /stop-after 8s
# /exit` leaves one complete file of 8 s with its "Timed stop" marker and ends with 0; a second
# copy's /marker, /pause, /resume and /stop act on the first and answer 0, /stop with nothing
# recording 1, with no copy running 2, a switch it does not know 3. With the program's folder
# read-only no box comes while recording (the settings cannot be saved: a notice), and the
# marker's key pressed in another program's window places a marker.
#   switches_e2e.sh SONARIX_EXE [SCREENSHOT_FOLDER]
set -euo pipefail
SONARIX_EXE=$1
shots=${2:-}
. "$(dirname "$0")/e2e_lib.sh"

work=$(mktemp -d /tmp/sonarix-switches.XXXXXX)
trap 'tone_stop; kill "$program" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$SONARIX_EXE" "$work/Sonarix.exe"
folder=$(winepath -w "$work/rec")
printf '[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFileDir=%s\r\nSeqRecFilePrefix=lecture\r\n' \
  "$folder" >"$work/Sonarix.ini"
sonarix() { (cd "$work" && wine Sonarix.exe "$@") >>"$work/wine.log" 2>&1; }
code_of() { local c=0; sonarix "$@" || c=$?; echo "$c"; }

tone_start
# 1. A timed recording that ends the program.
started=$(date +%s.%N)
code=$(code_of /record /stop-after 8s /exit)
took=$(echo "$(date +%s.%N) - $started" | bc -l)
check "/record /stop-after 8s /exit ends with 0 (after $took s)" test "$code" = 0
file=$(ls "$work"/rec/lecture*.wav 2>/dev/null | head -1)
check "one file recorded" test "$(ls "$work"/rec/*.wav 2>/dev/null | wc -l)" = 1
duration=$(duration_of "$file")
echo "duration: $duration s"
check "it holds 8 s (7.9 to 8.3)" awk -v d="$duration" 'BEGIN { exit !(d >= 7.9 && d <= 8.3) }'
check "it is complete (soxi reads its length from the header)" test "$(soxi -s "$file")" -gt 0
check "its marker says why it stopped" grep -a -q "Timed stop 1 00:00:0" "$file"

# 2. Commands for a running copy.
check "/stop with no copy running answers 2" test "$(code_of /stop)" = 2
check "a switch it does not know answers 3" test "$(code_of /frobnicate)" = 3
check "a bad duration answers 3" test "$(code_of /record /stop-after 0m)" = 3
(cd "$work" && exec wine Sonarix.exe /minimized) >>"$work/wine.log" 2>&1 &
program=$!
for _ in $(seq 300); do
  xdotool search --name '^Sonarix$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
check "/stop with nothing recording answers 1" test "$(code_of /stop)" = 1
mkdir "$work/other" && cp "$SONARIX_EXE" "$work/other/Sonarix.exe"
other=0; (cd "$work/other" && wine Sonarix.exe /stop) >>"$work/wine.log" 2>&1 || other=$?
check "a copy in another folder is another program: /stop there answers 2" test "$other" = 2
# There, no name to record into (no sequential naming, nothing typed): the scheduled start fails
# without a box, ends the program with 1, and the log says why.
other=0; (cd "$work/other" && wine Sonarix.exe /record /exit) >>"$work/wine.log" 2>&1 || other=$?
check "a start that fails ends the program with 1" test "$other" = 1
check "...the log says why" grep -qF "キャプチャファイル名が指定されていません" "$work/other/Sonarix.log"
check "/record answers 0" test "$(code_of /record)" = 0
check "/record again answers 1 (already recording)" test "$(code_of /record)" = 1
sleep 1
check "/marker answers 0" test "$(code_of /marker)" = 0
check "/pause answers 0" test "$(code_of /pause)" = 0
check "/pause again answers 1" test "$(code_of /pause)" = 1
check "/resume answers 0" test "$(code_of /resume)" = 0
sleep 1
check "/stop answers 0" test "$(code_of /stop)" = 0
second=$(ls -t "$work"/rec/*.wav | head -1)
check "the second recording holds the marker" grep -a -q "Marker 1 " "$second"
check "...and where it resumed" grep -a -q "Resume 1 " "$second"
check "/exit ends the copy running" test "$(code_of /exit)" = 0
check "it has ended" wait_for_exit

# 3. A settings file that cannot be written (a folder of its name, as under Program Files for a
# user): no box while recording, a notice (and the log's line); the marker's key pressed while
# another program's window (Wine's Notepad) has the keyboard places a marker.
rm -f "$work/Sonarix.ini" "$work/Sonarix.log"
mkdir "$work/Sonarix.ini"
start_program
keyed="$work/keyed.wav"
type_file_name "$(winepath -w "$keyed")"
click "$START_X" "$START_Y"
check "it records" wait_for_size "$keyed" $((46 + 2 * 32000))
sleep 1
check "no box while recording (only the main window)" test "$(sonarix_windows)" = 1
check "the settings that cannot be saved are a notice, and in the log" \
  grep -qF "設定ファイル「$(winepath -w "$work/Sonarix.ini")」に書き込めないため" "$work/Sonarix.log"
(cd "$work" && exec wine notepad) >>"$work/wine.log" 2>&1 &
notepad=$!
pad=""
for _ in $(seq 100); do # the keyboard's focus in Notepad (no window manager runs)
  pad=$(xdotool search --onlyvisible --name 'Notepad' 2>/dev/null | head -1) || true
  [ -n "$pad" ] && xdotool windowfocus "$pad" 2>/dev/null &&
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$pad" ] && break
  sleep 0.1
done
check "another program has the keyboard" test "$(xdotool getwindowfocus 2>/dev/null)" = "$pad"
xdotool key --clearmodifiers ctrl+alt+shift+m
sleep 1
kill "$notepad" 2>/dev/null || true
[ -z "$shots" ] || import -window root -crop "$SHOT_SIZE"+"$origin_x"+"$origin_y" "$shots/notice.png"
# A stop time by the keyboard alone, while recording: Alt+T, "録音時間で停止" (Alt+D), a duration.
click 150 10 # the caption: the window is active again
sleep 0.5
xdotool key alt+t
for _ in $(seq 50); do
  dialog=$(xdotool search --name '^停止時刻$' 2>/dev/null | head -1) || true
  [ -n "$dialog" ] && break
  sleep 0.1
done
check "Alt+T opens the stop time's dialog" test -n "$dialog"
sleep 0.5
xdotool windowfocus "$dialog" 2>/dev/null || true # (no window manager gives it the keyboard)
xdotool key alt+d
xdotool key Tab
xdotool type --delay 20 "1:00:00"
xdotool key Return
sleep 1.5
check "the dialog has closed with Enter" test -z "$(xdotool search --name '^停止時刻$' 2>/dev/null)"
[ -z "$shots" ] || import -window root -crop "$SHOT_SIZE"+"$origin_x"+"$origin_y" "$shots/stop-time.png"
click "$STOP_X" "$STOP_Y"
check "closed" close_program
tone_stop
check "the marker's key placed a marker" grep -a -q "Marker 1 " "$keyed"

echo "passed: $passed, failed: $failed"
[ "$failed" -eq 0 ]
