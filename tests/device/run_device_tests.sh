#!/usr/bin/env bash
# Plays a 1 kHz tone at half scale into the PulseAudio null sink and a 1.5 kHz one into a second
# sink ("Second"), has the Windows program record from the sinks' monitors under Wine (the
# default input, the second one chosen by its ID, the first through WASAPI as the computer's
# playback), and checks the files. When the program asks for it (a file suspend-input), the
# input is suspended. Then a third sink ("Aux", 500 Hz) comes before the second in winmm's
# numbers, and the program records the input it chose by ID once more.
#   run_device_tests.sh DEVICE_RECORDINGS_EXE
# Needs the session of scripts/session.sh (PULSE_SERVER, DISPLAY) and the Wine prefix.
set -euo pipefail
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${PULSE_SERVER:-}" ]; then
  echo "no PulseAudio server: run under scripts/session.sh"
  exit 1
fi

dir=$(mktemp -d /tmp/sonarix-device.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for sink in vsink2 vsink3; do
    pactl unload-module "$(pactl list modules short | awk -v s="sink_name=$sink" '$0 ~ s {print $1}')" 2>/dev/null || true
  done
  pactl suspend-sink vsink 0 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

play() { # SINK HZ
  sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 900 sine "$2" vol 0.5 |
    pacat --playback --device="$1" --format=s16le --rate=48000 --channels=2 --latency-msec=40 &
  pids+=($!)
}
pactl load-module module-null-sink sink_name=vsink2 sink_properties=device.description=Second >/dev/null
play vsink 1000
play vsink2 1500
# The monitor of a sink that has only just begun to play delivers late: every recording, the
# first of the process too, starts once the tone has been playing for a moment.
for _ in $(seq 50); do
  pactl list sinks short | grep -q 'vsink.*RUNNING' && break
  sleep 0.1
done
sleep 1.5

(
  while [ ! -e "$dir/suspend-input" ]; do sleep 0.05; done
  pactl suspend-sink vsink 1
  echo "input suspended"
) &
pids+=($!)

wine "$exe" "$(winepath -w "$dir")"
pactl suspend-sink vsink 0
pactl load-module module-null-sink sink_name=vsink3 sink_properties=device.description=Aux >/dev/null
play vsink3 500
sleep 1.5
wine "$exe" "$(winepath -w "$dir")" --again
python3 "$here/check_recordings.py" "$dir"
