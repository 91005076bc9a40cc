#!/usr/bin/env bash
# The quiet warning against sound made by sox: ten minutes of a quiet room at several noise
# floors (a microphone's own noise and the room's: pink noise), an input that goes silent after
# speech-level sound, and a converter's last bit of noise. Usage: quiet_sounds.sh <quiet_bench>
set -euo pipefail
bench=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
raw=(-r 16000 -c 1 -b 16 -e signed-integer -t raw)
# Pink noise normalised to its peak: its RMS lies about 14 dB below.
for peak in 40 50 56 60 64; do
  sox -R -n "${raw[@]}" "$dir/room$peak.raw" synth 600 pinknoise gain -n -$peak
done
sox -R -n "${raw[@]}" "$dir/stops.raw" synth 5 sine 300 gain -n -12 pad 0 25
sox -R -n "${raw[@]}" "$dir/converter.raw" synth 60 whitenoise gain -n -84
"$bench" \
  "quiet room, 10 min, peaks at -40 dBFS=$dir/room40.raw" \
  "quiet room, 10 min, peaks at -50 dBFS=$dir/room50.raw" \
  "quiet room, 10 min, peaks at -56 dBFS=$dir/room56.raw" \
  "quiet room, 10 min, peaks at -60 dBFS=$dir/room60.raw" \
  "quiet room, 10 min, peaks at -64 dBFS=$dir/room64.raw" \
  "5 s of sound, then 25 s of digital silence=$dir/stops.raw" \
  "a converter's last bits, peaks at -84 dBFS=$dir/converter.raw"
