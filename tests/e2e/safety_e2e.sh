#!/usr/bin/env bash
# What keeps a recording from being lost, with the real Sonarix.exe under Wine:
#  1. a sequential recording killed 5 s in, with two markers (Ctrl+M and the marker button): the
#     next start completes the file with them and says so, every reader agrees on it, and the
#     next recording gets the next number;
#  2. a typed name that exists, answered No: the file stays byte for byte;
#  3. a settings file that cannot be written: said once, the recording made all the same;
#  4. no audio server at all: the start says that there is no input device;
#  5. a recording longer than a file may be (a smaller limit, set for the test by the
#     environment variable SONARIX_FILE_SIZE_LIMIT) goes on in "name (2).wav": both files
#     complete for every reader, the tone runs on across the seam without a sample lost, and
#     each file holds the marker placed while it was written;
#  6. a settings file that cannot be written: the recording runs while the message says so;
#  7. the input goes away and comes back: the recording waits for it and goes on, the file on
#     the clock's time, and the stretch without sound is said at the stop.
#   safety_e2e.sh SONARIX_EXE
set -euo pipefail
SONARIX_EXE=$1
. "$(dirname "$0")/e2e_lib.sh"

work=$(mktemp -d /tmp/sonarix-e2e.XXXXXX)
cleanup() {
  tone_stop
  kill "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
seq_dir="$work/rec"
ini="$work/Sonarix.ini"
counter() { ini_text "$ini" | sed -n 's/^SeqRecFileCount=\([0-9]*\).*/\1/p' | tr -d '\r'; }
riff_ok() { test "$(od -An -tu4 -j4 -N4 "$1" | tr -d ' ')" = $(($(stat -c %s "$1") - 8)); }
tone_start

# 1. Killed during a sequential recording.
printf '[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFileDir=%s\r\nSeqRecFilePrefix=take\r\nSeqRecFileCount=41\r\n' \
  "$(winepath -w "$seq_dir")" >"$ini"
start_program
click "$START_X" "$START_Y"
check "1: a second recorded" wait_for_size "$seq_dir/take000041.wav" $((46 + 64000))
xdotool key ctrl+m
check "1: one second more" wait_for_size "$seq_dir/take000041.wav" $((46 + 2 * 64000))
click "$MARKER_X" "$MARKER_Y"
# A few seconds recorded (16000 Hz stereo 16-bit: 64000 bytes a second), the flush among them.
check "1: recording" wait_for_size "$seq_dir/take000041.wav" $((46 + 5 * 64000))
pkill -9 -x Sonarix.exe || true
wait "$program" 2>/dev/null || true
wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
first="$seq_dir/take000041.wav"
check "1: the killed recording holds the placeholder sizes" \
  test "$(od -An -tu4 -j42 -N4 "$first" | tr -d ' ')" = 4294967295
check "1: the settings file kept the next number at once" test "$(counter)" = 42
check "1: the markers in their journal beside the file, not in the settings file" \
  test "$(grep -c Marker "$first.markers")" = 2 -a "$(ini_text "$ini" | grep -c '^Markers=.')" = 0
start_program traced
check "1: the next start says it completed the recording" dismiss_message
check "1: ...naming the file" shown "前回、録音の途中でプログラムが終了したため、「$(winepath -w "$first")」を修復しました。録音時間は "
check "1: the RIFF size is the file's length less 8" riff_ok "$first"
check "1: the journal gone with the completion" test ! -e "$first.markers"
data=$(od -An -tu4 -j42 -N4 "$first" | tr -d ' ')
size=$(stat -c %s "$first")
check "1: the data size is in whole frames, the markers after it" \
  test $((data % 4)) = 0 -a $((size - 46 - data)) -gt 0 -a $((size - 46 - data)) -lt 200
counts="$(frames_soxi "$first") $(frames_ffprobe "$first") $(frames_sndfile "$first") $(frames_python "$first")"
echo "1: soxi, ffprobe, libsndfile and Python read $counts frames"
check "1: every reader reads the same frames" test "$(tr ' ' '\n' <<<"$counts" | sort -u | wc -l)" = 1
check "1: 4 s or more of 16000 Hz stereo" between "${counts%% *}" 64000 96000
marks=$(chapters "$first" | without_stretches)
echo "1: FFmpeg reads the markers as chapters:"$'\n'"$marks"
check "1: both markers, in their order" test "$(cut -d' ' -f2,3 <<<"$marks" | tr '\n' ' ')" = "Marker 1 Marker 2 "
check "1: Ctrl+M's about 1 s in" between "$(head -1 <<<"$marks" | cut -d' ' -f1)" 0.8 2.5
check "1: the button's about 2 s in" between "$(tail -1 <<<"$marks" | cut -d' ' -f1)" 1.8 3.5
cues=$(cue_points "$first" | without_stretches)
echo "1: libsndfile reads the cue points:"$'\n'"$cues"
check "1: libsndfile reads both, at the same frames" test "$(cut -d' ' -f1 <<<"$cues" | tr '\n' ' ')" = \
  "$(awk '{ printf "%d ", $1 * 16000 + 0.5 }' <<<"$marks")"
click "$START_X" "$START_Y"
sleep 1.5
click "$STOP_X" "$STOP_Y"
check "1: the next recording gets the next number" wait_for_size "$seq_dir/take000042.wav" 1
check "1: closed" close_program

# 2. A typed name that exists, answered No (the default button).
existing="$work/existing.wav"
head -c 5000 /dev/urandom >"$existing"
cp "$existing" "$work/existing.copy"
start_program traced
click "$TAB1_X" "$TAB1_Y"
click "$SEQ_ENABLE_X" "$SEQ_ENABLE_Y"
click "$TAB0_X" "$TAB0_Y"
type_file_name "$(winepath -w "$existing")"
click "$START_X" "$START_Y"
check "2: the program asks before replacing" dismiss_message
check "2: ...with its question" shown "「$(winepath -w "$existing")」は既に存在します。上書きしますか？"
sleep 1
check "2: No keeps the file byte for byte" cmp -s "$existing" "$work/existing.copy"
check "2: closed" close_program

# 3. A settings file that cannot be written: a folder of its name.
rm -f "$ini" "$work/Sonarix.log"
mkdir "$ini"
start_program traced
unwritable="$work/unwritable.wav"
type_file_name "$(winepath -w "$unwritable")"
click "$START_X" "$START_Y"
sleep 1
check "3: the failed write is said in the window, no box while recording" test "$(sonarix_windows)" = 1
check "3: ...naming the settings file (the log keeps it)" \
  grep -qF "設定ファイル「$(winepath -w "$ini")」に書き込めないため" "$work/Sonarix.log"
click "$STOP_X" "$STOP_Y"
check "3: said once: the window closes without another message" close_program
check "3: the recording is made all the same" riff_ok "$unwritable"
rmdir "$ini"

# 4. No audio server at all.
PULSE_SERVER=unix:/nonexistent/pulse.sock start_program traced
type_file_name "$(winepath -w "$work/nothing.wav")"
click "$START_X" "$START_Y"
check "4: the start says why it cannot record" dismiss_message
check "4: ...that there is no input device" shown "録音デバイスが見つからないため、録音を開始できません。"
check "4: no file is left behind" test ! -e "$work/nothing.wav"
check "4: closed" close_program

# 5. Past the size limit of a file, with a 1010 Hz tone: a block is 40.4 of its periods, so a
# block (or a single sample) lost or doubled at the seam breaks the tone's phase.
tone_stop
tone_start 1010
SONARIX_FILE_SIZE_LIMIT=300000 start_program traced
long="$work/long.wav"
type_file_name "$(winepath -w "$long")"
click "$START_X" "$START_Y"
check "5: recording" wait_for_size "$long" 100000
xdotool key ctrl+m
check "5: recording into 'long (2).wav'" wait_for_size "$work/long (2).wav" 100000
click "$MARKER_X" "$MARKER_Y"
sleep 0.5
click "$STOP_X" "$STOP_Y"
answer_stretch_report 5
check "5: closed" close_program
second="$work/long (2).wav"
check "5: the recording went on in 'long (2).wav'" test -s "$second"
check "5: no third file" test ! -e "$work/long (3).wav"
for f in "$long" "$second"; do
  check "5: $(basename "$f") complete" riff_ok "$f"
  counts="$(frames_soxi "$f") $(frames_ffprobe "$f") $(frames_sndfile "$f") $(frames_python "$f")"
  check "5: $(basename "$f"): every reader reads $counts frames" \
    test "$(tr ' ' '\n' <<<"$counts" | sort -u | wc -l)" = 1
done
check "5: the first file is full: $(stat -c %s "$long") bytes" between "$(stat -c %s "$long")" 290000 300008
if [ -z "$stretch_said" ]; then
  check "5: the first file holds the first marker" test "$(chapters "$long" | cut -d' ' -f2,3)" = "Marker 1"
  check "5: ...for libsndfile too" test "$(cue_points "$long" | cut -d' ' -f2,3)" = "Marker 1"
  check "5: the second file holds the second" test "$(chapters "$second" | cut -d' ' -f2,3)" = "Marker 2"
  check "5: ...for libsndfile too" test "$(cue_points "$second" | cut -d' ' -f2,3)" = "Marker 2"
else # the silence that fills the stretch moves the seam against the keys pressed
  check "5: the files hold both markers, in their order" test "$(for f in "$long" "$second"; do
    chapters "$f" | without_stretches; done | cut -d' ' -f2,3 | tr '\n' ' ')" = "Marker 1 Marker 2 "
  check "5: ...for libsndfile too" test "$(for f in "$long" "$second"; do
    cue_points "$f" | without_stretches; done | cut -d' ' -f2,3 | tr '\n' ' ')" = "Marker 1 Marker 2 "
fi
seam=$(python3 - "$long" "$second" <<'PY'
import math, struct, sys, wave
def samples(path):
    w = wave.open(path)
    data = w.readframes(w.getnframes())
    return [struct.unpack_from("<h", data, i)[0] for i in range(0, len(data), 4)]  # channel 0
a, b = samples(sys.argv[1]), samples(sys.argv[2])
c = 2 * math.cos(2 * math.pi * 1010 / 16000)
# A sine keeps x[n] = c x[n-1] - x[n-2]: how far each sample is from what the two before it say.
def error(x, n):
    return abs(x[n] - (c * x[n - 1] - x[n - 2]))
within = sorted(error(a, n) for n in range(2, len(a)))
joined = a[-2:] + b[:2]
print(f"{max(error(joined, 2), error(joined, 3)):.0f} {within[len(within) * 99 // 100]:.0f}")
PY
)
echo "5: the tone across the seam is off by ${seam% *} (within the file, 99 % of samples by up to ${seam#* })"
check "5: the tone runs on across the seam" between "${seam% *}" 0 400

# 6. A program folder where the settings file cannot be written (a folder of its name: as
# under Program Files for a user): the recording runs while the message says so, and its file
# is complete.
tone_stop
tone_start
rm -f "$work/Sonarix.ini" "$work/Sonarix.log"
mkdir "$work/Sonarix.ini"
start_program traced
unsaved="$work/unsaved.wav"
type_file_name "$(winepath -w "$unsaved")"
click "$START_X" "$START_Y"
check "6: it records" wait_for_size "$unsaved" $((46 + 2 * 64000))
check "6: no box while recording" test "$(sonarix_windows)" = 1
check "6: the notice says the settings cannot be saved" \
  grep -qF "設定ファイル「$(winepath -w "$work/Sonarix.ini")」に書き込めないため" "$work/Sonarix.log"
click "$STOP_X" "$STOP_Y"
check "6: closed" close_program
check "6: the file is complete" riff_ok "$unsaved"
check "6: ...and holds the recording" test "$(stat -c %s "$unsaved")" -gt $((46 + 2 * 64000))
rmdir "$work/Sonarix.ini"

# 7. The input goes away for a while (its sink unloaded: a USB microphone unplugged) and comes
# back: the recording waits for it and goes on, the stretch without sound is said at the stop,
# filled with silence, and the file keeps the clock's time.
start_program traced
away="$work/away.wav"
type_file_name "$(winepath -w "$away")"
started=$(date +%s.%N)
click "$START_X" "$START_Y"
sleep 3
module=$(pactl list modules short | awk '/module-null-sink/ { print $1 }')
pactl unload-module "$module"
sleep 4
pactl load-module module-null-sink sink_name=vsink >/dev/null
pactl set-default-source vsink.monitor
pactl set-default-sink vsink
tone_start
sleep 5
stopped=$(date +%s.%N)
click "$STOP_X" "$STOP_Y"
check "7: a message at the stop" dismiss_message
check "7: ...lists the stretch without sound" shown "録音中、音声が届かなかった時間が 1 か所ありました。"
check "7: closed" close_program
check "7: the file is complete" riff_ok "$away"
duration=$(duration_of "$away")
recorded=$(echo "$stopped - $started" | bc -l)
echo "7: $duration s in the file for $recorded s from the start click to the stop click"
check "7: the file keeps the clock's time" between "$duration" "$(echo "$recorded - 1.0" | bc -l)" "$(echo "$recorded + 0.3" | bc -l)"
frequency=$(sox "$away" -n trim -2 remix 1 stat 2>&1 | sed -n 's/Rough\s*frequency:\s*\([0-9-]*\).*/\1/p')
check "7: the tone after the input came back" between "$frequency" 970 1030

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
