#!/usr/bin/env bash
# The settings tab and the sound format dialog as a user uses them, and recordings that end in
# unusual ways, with the real Sonarix.exe under Wine:
#  1. sequential naming with a folder, prefix "take" and sub-folders; three recordings;
#  2. the format dialog: " 8000Hz", "Mono", "G.711 A-Law"; the file says so and holds the tone;
#  3. counter 999999: the file lands in 999K, the wrap message, then 000K as 000000;
#  4. the window closed while paused: the file is complete;
#  5. the program killed 10 s into a recording: every reader still gets the audio, and the next
#     start completes the file;
#  6. a file system that fills up: the user is warned at the start that it is nearly full, then
#     the recording ends with its message, naming the file, and the file is valid;
#  7. every file is read with the same frame count by soxi, ffprobe, libsndfile and Python;
#  8. the source dialog: the computer's playback chosen with the keyboard (Alt+P, Enter), then both
#     sides of a call (Alt+B, Enter); Wine has no loopback, so each start is refused with its
#     message, no file is made, and the choice kept.
#   settings_e2e.sh SONARIX_EXE [SCREENSHOT_FOLDER]
set -euo pipefail
SONARIX_EXE=$1
shots=${2:-}
. "$(dirname "$0")/e2e_lib.sh"

work=$(mktemp -d /tmp/sonarix-e2e.XXXXXX)
small=""
cleanup() {
  tone_stop
  kill "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  [ -z "$small" ] || umount "$small" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
seq_dir="$work/rec"
ini="$work/Sonarix.ini"
counter() { ini_text "$ini" | sed -n 's/^SeqRecFileCount=\([0-9]*\).*/\1/p' | tr -d '\r'; }
tone_start

# 1. Sequential naming, switched on and filled in on the settings tab.
start_program
click "$TAB1_X" "$TAB1_Y"
click "$SEQ_ENABLE_X" "$SEQ_ENABLE_Y"
type_into "$SEQ_FOLDER_X" "$SEQ_FOLDER_Y" "$(winepath -w "$seq_dir")"
click "$SEQ_SUBDIR_X" "$SEQ_SUBDIR_Y"
type_into "$SEQ_PREFIX_X" "$SEQ_PREFIX_Y" "take"
[ -z "$shots" ] || import -window root -crop "$SHOT_SIZE"+"$origin_x"+"$origin_y" "$shots/settings.png"
click "$TAB0_X" "$TAB0_Y"
for _ in 1 2 3; do
  click "$START_X" "$START_Y"
  sleep 1.5
  click "$STOP_X" "$STOP_Y"
done
check "1: closed" close_program
for n in 0 1 2; do
  check "1: take00000$n.wav in 000K" test -s "$seq_dir/000K/take00000$n.wav"
done
check "1: the settings file holds counter 3" test "$(counter)" = 3

# 2. The sound format dialog: 8000 Hz, mono, A-law.
start_program
click "$TAB1_X" "$TAB1_Y"
click "$FORMAT_X" "$FORMAT_Y"
sleep 0.5
[ -z "$shots" ] || import -window root -crop "$SHOT_SIZE"+"$origin_x"+"$origin_y" "$shots/format.png"
click_in_format_dialog "$MONO_X" "$MONO_Y"
click_in_format_dialog "$RATE_X" "$RATE_Y"
xdotool key Home Return
sleep 0.2
click_in_format_dialog "$TYPE_X" "$TYPE_Y"
xdotool key End Return
sleep 0.2
click_in_format_dialog "$OK_X" "$OK_Y"
click "$TAB0_X" "$TAB0_Y"
click "$START_X" "$START_Y"
sleep 2.5
click "$STOP_X" "$STOP_Y"
alaw="$seq_dir/000K/take000003.wav"
info=$(soxi "$alaw" 2>&1 || true)
check "2: A-law" grep -q "A-law" <<<"$info"
check "2: one channel" grep -q "Channels *: 1" <<<"$info"
check "2: 8000 Hz" grep -q "Sample Rate *: 8000" <<<"$info"
frequency=$(frequency_of "$alaw")
echo "2: the A-law tone decodes at $frequency Hz"
check "2: SoX decodes the tone" between "$frequency" 950 1050

# 3. Counter 999999: 999K, the wrap message, then 000K as 000000.
click "$TAB1_X" "$TAB1_Y"
type_into "$SEQ_COUNT_X" "$SEQ_COUNT_Y" "999999"
click "$TAB0_X" "$TAB0_Y"
click "$START_X" "$START_Y"
sleep 1.5
check "3: the wrap is said in the window: no box while recording" test "$(sonarix_windows)" = 1
check "3: ...in a notice (the log keeps it)" grep -qF "ファイル番号が最大値に達しました" "$work/Sonarix.log"
click "$STOP_X" "$STOP_Y"
rm -f "$seq_dir/000K/take000000.wav"
click "$START_X" "$START_Y"
sleep 1.5
click "$STOP_X" "$STOP_Y"
check "3: take999999.wav in 999K" test -s "$seq_dir/999K/take999999.wav"
check "3: then take000000.wav in 000K" test -s "$seq_dir/000K/take000000.wav"

# 4. Closed while paused.
click "$START_X" "$START_Y"
sleep 1.5
click "$PAUSE_X" "$PAUSE_Y"
check "4: closed while paused" close_program
paused_file="$seq_dir/000K/take000001.wav"
size=$(stat -c %s "$paused_file")
riff=$(od -An -tu4 -j4 -N4 "$paused_file" | tr -d ' ')
check "4: the file is complete (RIFF size = length - 8)" test "$riff" = $((size - 8))

# Back to a typed name and the default format (16000 Hz stereo 16-bit), so that every reader,
# Python's PCM-only wave module among them, can read what follows.
typed_name_and_default_format() {
  click "$TAB1_X" "$TAB1_Y"
  click "$SEQ_ENABLE_X" "$SEQ_ENABLE_Y"
  click "$FORMAT_X" "$FORMAT_Y"
  sleep 0.5
  click_in_format_dialog "$MONO_X" "$MONO_Y"
  xdotool key Right # the radio group: Stereo
  click_in_format_dialog "$RATE_X" "$RATE_Y"
  xdotool key Home Down Down Down Return
  sleep 0.2
  click_in_format_dialog "$TYPE_X" "$TYPE_Y"
  xdotool key Home Down Return
  sleep 0.2
  click_in_format_dialog "$OK_X" "$OK_Y"
  click "$TAB0_X" "$TAB0_Y"
}

# 5. Killed 10 s into a recording.
start_program
typed_name_and_default_format
killed="$work/killed.wav"
type_file_name "$(winepath -w "$killed")"
click "$START_X" "$START_Y"
sleep 10
pkill -9 -x Sonarix.exe || true
wait "$program" 2>/dev/null || true
wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
check "5: soxi accepts the file" soxi "$killed"
check "5: recorded in the default format" grep -q "Sample Rate *: 16000" <<<"$(soxi "$killed")"
for reader in sox ffmpeg sndfile python; do
  frames=$("frames_$reader" "$killed" 2>/dev/null || echo 0)
  echo "5: $reader reads $frames frames ($(echo "$frames / 16000" | bc -l | cut -c1-5) s)"
  check "5: $reader reads at least 8.8 s" between "$frames" $((16000 * 88 / 10)) 1000000
done
start_program traced
check "5: the next start tells that it completed the recording" dismiss_message
check "5: ...in its message" shown "前回、録音の途中でプログラムが終了したため、「$(winepath -w "$killed")」を修復しました。"
size=$(stat -c %s "$killed")
riff=$(od -An -tu4 -j4 -N4 "$killed" | tr -d ' ')
check "5: the killed file is complete (RIFF size = length - 8)" test "$riff" = $((size - 8))
check "5: closed" close_program

# 6. A file system that fills up.
if mkdir -p "$work/small" && mount -t tmpfs -o size=160k tmpfs "$work/small" 2>/dev/null; then
  small="$work/small"
  start_program traced
  typed_name_and_default_format # the killed run saved no settings
  full="$small/full.wav"
  type_file_name "$(winepath -w "$full")"
  click "$START_X" "$START_Y"
  check "6: the end, once stopped, is a message" dismiss_message
  check "6: ...the only one" test "$(sonarix_windows)" = 1
  check "6: the warning that the drive is nearly full was a notice (the log keeps it)" \
    grep -qF "「$(winepath -w "$full")」を保存しているドライブの空き容量が少なくなっています。" \
    "$work/Sonarix.log"
  check "6: the recording ends, naming the file" \
    shown "ファイル「$(winepath -w "$full")」に書き込めなかったため、録音を停止しました。"
  check "6: the bar is stopped (start is enabled again)" close_program
  size=$(stat -c %s "$full")
  riff=$(od -An -tu4 -j4 -N4 "$full" | tr -d ' ')
  echo "6: $size bytes fitted"
  check "6: the file is complete" test "$riff" = $((size - 8))
  check "6: it holds what fitted" between "$size" 100000 163840
  cp "$full" "$work/full.wav"
else
  echo "skipped 6: this machine does not let the test mount a small file system"
fi

# 7. Every completed file: the same frame count from every reader.
for f in "$seq_dir"/*/*.wav "$work/full.wav" "$killed"; do
  [ -f "$f" ] || continue
  counts="$(frames_soxi "$f") $(frames_ffprobe "$f") $(frames_sndfile "$f")"
  if ! grep -q "A-law" <<<"$(soxi "$f")"; then counts="$counts $(frames_python "$f")"; fi
  check "7: $(basename "$(dirname "$f")")/$(basename "$f"): $counts" test "$(tr ' ' '\n' <<<"$counts" | sort -u | wc -l)" = 1
done

# 8. The computer's playback (the dialog with the frame Wine draws around it, for the screenshot).
start_program traced
click "$TAB1_X" "$TAB1_Y"
click "$SOURCE_X" "$SOURCE_Y"
for _ in $(seq 50); do dialog=$(xdotool search --name '^録音ソース$' | head -1) && break; sleep 0.1; done
sleep 0.5
xdotool key alt+p Return
sleep 0.3
click "$TAB0_X" "$TAB0_Y"
type_file_name "$(winepath -w "$work/playback.wav")"
xdotool key ctrl+r
check "8: the playback's start is refused" dismiss_message
check "8: ...saying why" shown "この Windows では、このPCの再生音を録音できません"
check "8: no file" test ! -e "$work/playback.wav"
# ...and both sides of a call (Alt+B): the note on headphones shows; refused the same way.
click "$TAB1_X" "$TAB1_Y"
click "$SOURCE_X" "$SOURCE_Y"
for _ in $(seq 50); do dialog=$(xdotool search --name '^録音ソース$' | head -1) && break; sleep 0.1; done
sleep 0.5
xdotool key alt+b
sleep 0.3
if [ -n "$shots" ]; then
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  import -window root -crop "$((WIDTH + 8))x$((HEIGHT + 30))+$((X - 4))+$((Y - 26))" "$shots/source.png"
fi
xdotool key Return
sleep 0.3
click "$TAB0_X" "$TAB0_Y"
xdotool key ctrl+r
check "8: both sides' start is refused" dismiss_message
check "8: ...saying why" shown "この Windows では、このPCの再生音を録音できません"
check "8: no file" test ! -e "$work/playback.wav"
check "8: closed" close_program
check "8: the choice kept" grep -q '^Source=2' <<<"$(ini_text "$ini" | tr -d '\r')"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
