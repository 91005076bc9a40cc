#!/usr/bin/env bash
# The main road, as a user takes it: start Sonarix.exe, type a file name, press start while a
# 1 kHz tone plays, pause, resume, stop, close the window with its close box. Then the WAV file
# and the settings file are checked, and a screenshot of the window while recording is kept.
#   record_e2e.sh SONARIX_EXE [SCREENSHOT_FOLDER]
# Runs in the session of scripts/session.sh (display, audio) with WINEPREFIX set.
set -euo pipefail
SONARIX_EXE=$1
shots=${2:-}
. "$(dirname "$0")/e2e_lib.sh"

work=$(mktemp -d /tmp/sonarix-e2e.XXXXXX)
trap 'tone_stop; kill "$program" 2>/dev/null || true; rm -rf "$work"' EXIT
wav="$work/meeting.wav"

tone_start
start_program
type_file_name "$(winepath -w "$wav")"
now() { date +%s.%N; }
started=$(now); click "$START_X" "$START_Y"
xdotool mousemove 0 0 # no tooltip in the picture
sleep 3
[ -z "$shots" ] || import -window root -crop "$SHOT_SIZE"+"$origin_x"+"$origin_y" "$shots/recording.png"
paused=$(now); click "$PAUSE_X" "$PAUSE_Y"
sleep 1.5
resumed=$(now); click "$START_X" "$START_Y"
sleep 2
stopped=$(now); click "$STOP_X" "$STOP_Y"
click "$CLOSE_X" "$CLOSE_Y"
check "the program ends when its window is closed" wait_for_exit
tone_stop

check "the recording exists" test -s "$wav"
info=$(soxi "$wav" 2>&1 || true)
check "soxi: 2 channels (the default)" grep -q "Channels *: 2" <<<"$info"
check "soxi: 16000 Hz (the default)" grep -q "Sample Rate *: 16000" <<<"$info"
check "soxi: 16-bit signed PCM (the default)" grep -q "16-bit Signed Integer PCM" <<<"$info"
duration=$(duration_of "$wav")
recorded=$(echo "$paused - $started + $stopped - $resumed" | bc -l)
echo "duration: $duration s for $recorded s recorded (the pause of $(echo "$resumed - $paused" | bc -l) s left out)"
# The first block may come up to a second late.
check "as long as recorded, without the pause" between "$duration" "$(echo "$recorded - 1.3" | bc -l)" "$(echo "$recorded + 0.3" | bc -l)"
frequency=$(frequency_of "$wav")
echo "frequency: $frequency Hz"
check "the tone's frequency" between "$frequency" 970 1030
check "Python's wave reads it" python3 -c "import wave,sys; w=wave.open(sys.argv[1]); assert w.getnframes() > 0" "$wav"

ini="$work/Sonarix.ini"
check "the settings file is written" test -f "$ini"
text=$(ini_text "$ini" 2>/dev/null || true)
for key in CheckSeqRecFile SeqRecFileDir CheckReqFileSubDir SeqRecFilePrefix SeqRecFileCount \
           SamplingChannel SampleType SamplingRate; do
  check "settings key $key" grep -q "^$key=" <<<"$text"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
