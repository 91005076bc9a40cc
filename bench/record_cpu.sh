#!/usr/bin/env bash
# CPU seconds per recorded minute and peak memory of Sonarix.exe (with the Wine processes it
# needs) recording 48000 Hz stereo 16-bit from the PulseAudio null sink's monitor, next to
# arecord and sox recording the same source in the same run. Runs in the session of
# scripts/session.sh.
#   record_cpu.sh SONARIX_EXE [SECONDS]
set -euo pipefail
SONARIX_EXE=$1
seconds=${2:-60}
. "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
work=$(mktemp -d /tmp/sonarix-cpu.XXXXXX)
trap 'tone_stop; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)

# CPU ticks and peak memory (KiB) of the Wine side: the program and Wine's own processes.
wine_processes() { pgrep -x 'Sonarix.exe|wineserver|services.exe|explorer.exe|winedevice.exe|plugplay.exe|svchost.exe|rpcss.exe|conhost.exe|start.exe' || true; }
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

tone_start
report() { # report NAME CPU_SECONDS PEAK_KIB
  printf '%-28s %6.2f CPU-s per recorded minute   peak memory %7d KiB\n' "$1" \
    "$(echo "$2 * 60 / $seconds" | bc -l)" "$3"
}

# Sonarix: 48000 Hz stereo 16-bit from its settings file; the CPU of the recording itself.
wineserver -k 2>/dev/null || true
printf '[SoundProperty]\r\nSamplingChannel=2\r\nSampleType=1\r\nSamplingRate=48000\r\n' >"$work/Sonarix.ini"
start_program
type_file_name "$(winepath -w "$work/sonarix.wav")"
before=$(wine_ticks)
click "$START_X" "$START_Y"
sleep "$seconds"
click "$STOP_X" "$STOP_Y"
after=$(wine_ticks)
peak=$(wine_peak_kib)
sonarix_peak=$(awk '/VmHWM/ { print $2 }' "/proc/$(pgrep -x Sonarix.exe | head -1)/status")
close_program || true
report "Sonarix.exe + Wine" "$(echo "($after - $before) / $hz" | bc -l)" "$peak"
echo "  (of that memory, Sonarix.exe itself: $sonarix_peak KiB)"

measure() { # measure NAME COMMAND...: user + system time and maximum resident size
  /usr/bin/time -f '%U %S %M' -o "$work/time" "${@:2}" >/dev/null 2>&1 || true
  read -r user sys rss <"$work/time"
  report "$1" "$(echo "$user + $sys" | bc -l)" "$rss"
}
measure "arecord (ALSA pulse plugin)" arecord -q -D pulse -f S16_LE -c 2 -r 48000 -d "$seconds" "$work/arecord.wav"
measure "sox" sox -q -t pulseaudio default -r 48000 -c 2 -b 16 "$work/sox.wav" trim 0 "$seconds"
