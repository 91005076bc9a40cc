#!/usr/bin/env bash
# Builds the optimised benchmarks and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps Japanese file names to Unix ones through the locale's character set: UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# The benchmarks' own tools besides the build's: arecord and its PulseAudio plugin, GNU time.
scripts/setup.sh alsa-utils libasound2-plugins time
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)"

echo "== G.711 encoders =="
build/bench/bench/g711_bench
echo "== G.711 next to SoX and FFmpeg =="
python3 bench/g711_compare.py build/bench
echo "== WAV writer, one 40 ms block at 48000 Hz stereo =="
build/bench/bench/wave_file_bench --benchmark_out=build/bench/wave_file.json
python3 bench/percent_of_block.py build/bench/wave_file.json
echo "== The disk: blocks and seams on the disk thread, the flush cadence, a stalled disk =="
build/bench/bench/disk_bench "${TMPDIR:-/tmp}"
echo "== Markers: the capture thread's block while the window places markers, a marker's journal line (the 1st and the 2500th), completing and repairing a file with 2500 =="
build/bench/bench/marker_bench
echo "== The gap detector: simulated stalls, and false gaps over hours with a drifting clock =="
build/bench/bench/gap_bench
echo "== Rate conversion of the computer's playback, next to SoX's rate =="
build/bench/bench/resampler_bench "${TMPDIR:-/tmp}"
build/bench/bench/drift_bench
echo "== Monitor, one 40 ms block at 48000 Hz stereo 16-bit =="
build/bench/bench/monitor_bench --benchmark_out=build/bench/monitor.json
python3 bench/percent_of_block.py build/bench/monitor.json
echo "== The quiet warning: ten minutes of quiet rooms, an input that falls silent, a converter's noise =="
bench/quiet_sounds.sh build/bench/bench/quiet_bench
echo "== Capture soak: one hour of 48000 Hz stereo 16-bit from the simulated device =="
build/bench/bench/capture_soak "${TMPDIR:-/tmp}" "${SONARIX_SOAK_MINUTES:-60}"
echo "== Start-up under Wine: process start to the main window =="
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target Sonarix bare_recorder >/dev/null
scripts/wine-prefix.sh "$PWD/build/windows/wineprefix"
WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  scripts/session.sh bench/startup_time.sh "$PWD/build/windows/ui/Sonarix.exe" 7

echo "== The settings file's replacement under Wine: a copy written beside it, flushed, renamed over it =="
cmake --build --preset windows -j"$(nproc)" --target settings_replace_bench >/dev/null
WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all \
  wine build/windows/bench/windows/settings_replace_bench.exe

echo "== Left recording: a command handed to the copy running, and where a timed stop lands =="
WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  scripts/session.sh bench/commands.sh "$PWD/build/windows/ui/Sonarix.exe"

echo "== CPU and memory while recording 48000 Hz stereo: a bare winmm recorder, Sonarix shown and minimised, arecord and sox =="
WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  scripts/session.sh bench/record_cpu.sh "$PWD/build/windows/ui/Sonarix.exe" \
  "$PWD/build/windows/bench/windows/bare_recorder.exe" "${SONARIX_CPU_SECONDS:-30}" \
  "${SONARIX_CPU_ROUNDS:-3}"

# Opt-in: one real file up to the 4 GiB limit of the format (needs about 4.3 GB free).
if [ "${SONARIX_BENCH_4GIB:-0}" = 1 ]; then
  echo "== WAV writer at the 4 GiB limit =="
  build/bench/bench/wave_file_limit "${TMPDIR:-/tmp}"
fi
