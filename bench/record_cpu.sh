#!/usr/bin/env bash
# CPU seconds per recorded minute and peak memory of recording 48000 Hz stereo 16-bit from the
# PulseAudio null sink's monitor, all in the same run (the Wine ones in interleaved rounds, with
# their medians): under Wine (the Windows process, Wine's
# helpers and the X server together), a bare winmm recorder, Sonarix.exe with its window shown,
# Sonarix.exe minimised, and Sonarix.exe shown recording both sides of a call (the monitor as the
# microphone and, through WASAPI, as the computer's playback); natively, arecord and sox. Runs in the session of
# scripts/session.sh.
#   record_cpu.sh SONARIX_EXE BARE_RECORDER_EXE [SECONDS [ROUNDS]]
set -euo pipefail
SONARIX_EXE=$1
BARE_RECORDER=$2
seconds=${3:-60}
rounds=${4:-3}
. "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
work=$(mktemp -d /tmp/sonarix-cpu.XXXXXX)
trap 'tone_stop; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)

# CPU ticks and peak memory (KiB) of the Wine side: the program, Wine's own processes and the
# X server that shows the windows; this session's only (its display), not those of a Wine
# left running elsewhere on the machine.
wine_processes() {
  local pid
  for pid in $(pgrep -x 'Sonarix.exe|bare_recorder.e|wineserver|wineserver64|services.exe|explorer.exe|winedevice.exe|plugplay.exe|svchost.exe|rpcss.exe|conhost.exe|start.exe|Xvfb' || true); do
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "^Xvfb $DISPLAY " && echo "$pid"
    else
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "DISPLAY=$DISPLAY" && echo "$pid"
    fi
  done
  return 0
}
# Sums a value over the Wine side's processes: an awk program run on each one's FILE in /proc.
wine_sum() { # wine_sum FILE AWK_PROGRAM
  local total=0 pid
  for pid in $(wine_processes); do
    total=$((total + $(awk "$2" "/proc/$pid/$1" 2>/dev/null || echo 0)))
  done
  echo "$total"
}
wine_ticks() { wine_sum stat '{ print $14 + $15 }'; }
wine_peak_kib() { wine_sum status '/VmHWM/ { print $2 }'; }

# libX11 looks for resource files at every lookup when there are none: give the session its own.
export HOME="$work/home" XENVIRONMENT="$work/home/.Xdefaults"
mkdir -p "$HOME"
: >"$HOME/.Xdefaults"

# A voice's loudness rather than a steady tone: pink noise that swells and fades at the pace of
# syllables and phrases, so the held levels change several times a second as they do for speech;
# long enough for every round.
sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - \
  synth $((rounds * 3 * (seconds + 30) + 60)) pinknoise vol 0.5 tremolo 2.7 95 tremolo 0.6 80 |
  pacat --playback --device=vsink --format=s16le --rate=48000 --channels=2 --latency-msec=20 &
tone=$!
report() { # report NAME CPU_SECONDS PEAK_KIB
  printf '%-28s %6.2f CPU-s per recorded minute   peak memory %7d KiB\n' "$1" \
    "$(echo "$2 * 60 / $seconds" | bc -l)" "$3"
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The bare recorder: the CPU of its recording itself, after its start.
bare_run() {
  wineserver -k 2>/dev/null || true
  (cd "$work" && exec wine "$BARE_RECORDER" bare.wav $((seconds + 6))) >/dev/null 2>&1 &
  bare=$!
  sleep 3
  before=$(wine_ticks)
  sleep "$seconds"
  after=$(wine_ticks)
  wait "$bare" || true
  cpu=$(echo "($after - $before) / $hz" | bc -l)
  report "bare winmm recorder + Wine + X" "$cpu" "$(wine_peak_kib)"
}

# Sonarix: 48000 Hz stereo 16-bit from its settings file; the CPU of the recording itself,
# with the window shown, then minimised (the caption's minimise button, as Wine draws it). The
# pointer leaves the window after the clicks, as a user's hand does.
sonarix_run() { # sonarix_run shown|minimised|both
  wineserver -k 2>/dev/null || true
  local source=0
  [ "$1" = both ] && source=2
  printf '[SoundProperty]\r\nSamplingChannel=2\r\nSampleType=1\r\nSamplingRate=48000\r\nSource=%s\r\n' "$source" >"$work/Sonarix.ini"
  rm -f "$work"/sonarix*.wav
  if [ "$1" = both ]; then export SONARIX_LOOPBACK_ENDPOINT=$monitor_id; fi
  start_program
  unset SONARIX_LOOPBACK_ENDPOINT
  type_file_name "$(winepath -w "$work/sonarix.wav")"
  click "$START_X" "$START_Y"
  [ "$1" != minimised ] || click "$MINIMISE_X" "$MINIMISE_Y"
  xdotool mousemove 1010 750
  sleep 2
  before=$(wine_ticks)
  sleep "$seconds"
  after=$(wine_ticks)
  peak=$(wine_peak_kib)
  kill "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  cpu=$(echo "($after - $before) / $hz" | bc -l)
  report "Sonarix.exe $1 + Wine + X" "$cpu" "$peak"
}

# The endpoint ID of the null sink's monitor, from Wine's own list of devices: what the
# computer's playback reads in place of the loopback Wine lacks.
wineserver -k 2>/dev/null || true
key=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio\Capture' /s 2>/dev/null |
  tr -d '\r' | awk '/Capture\\\{/ { key = $0 } /Monitor of Null Output/ { print key }' | head -1)
monitor_id="{0.0.1.00000000}.$(sed 's/.*Capture\\//; s/\\Properties//' <<<"$key")"

# Interleaved rounds, so that whatever else the machine does falls on all alike; the medians.
bare_all="" shown_all="" minimised_all="" both_all="" shown_diff="" minimised_diff="" both_diff=""
for round in $(seq "$rounds"); do
  echo "round $round of $rounds:"
  bare_run; b=$cpu
  sonarix_run shown; s=$cpu
  sonarix_run minimised; m=$cpu
  sonarix_run both; t=$cpu
  bare_all+=" $b" shown_all+=" $s" minimised_all+=" $m" both_all+=" $t"
  shown_diff+=" $(echo "$s - $b" | bc -l)" minimised_diff+=" $(echo "$m - $b" | bc -l)"
  both_diff+=" $(echo "$t - $s" | bc -l)"
done
perminute() { echo "$1 * 60 / $seconds" | bc -l | xargs printf '%.2f'; }
echo "medians of $rounds interleaved rounds, CPU-s per recorded minute:"
echo "  bare winmm recorder $(perminute "$(median <<<"$bare_all")"), Sonarix shown $(perminute "$(median <<<"$shown_all")"), minimised $(perminute "$(median <<<"$minimised_all")")"
echo "  Sonarix next to the bare recorder: shown $(perminute "$(median <<<"$shown_diff")" | xargs printf '%+.2f'), minimised $(perminute "$(median <<<"$minimised_diff")" | xargs printf '%+.2f')"
echo "  Sonarix recording both sides $(perminute "$(median <<<"$both_all")"): next to the microphone alone $(perminute "$(median <<<"$both_diff")" | xargs printf '%+.2f')"

measure() { # measure NAME COMMAND...: user + system time and maximum resident size
  /usr/bin/time -f '%U %S %M' -o "$work/time" "${@:2}" >/dev/null 2>&1 || true
  read -r user sys rss <"$work/time"
  report "$1" "$(echo "$user + $sys" | bc -l)" "$rss"
}
measure "arecord (ALSA pulse plugin)" arecord -q -D pulse -f S16_LE -c 2 -r 48000 -d "$seconds" "$work/arecord.wav"
measure "sox" sox -q -t pulseaudio default -r 48000 -c 2 -b 16 "$work/sox.wav" trim 0 "$seconds"
