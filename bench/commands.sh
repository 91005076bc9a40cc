#!/usr/bin/env bash
# Left recording, measured under Wine: how long a second copy takes from its start to its exit
# code when it hands /marker to the copy that records (what a script or a scheduler waits), and
# how far a timed stop lands from its time (/stop-after: the file's length against the duration;
# /stop-at: the program's end against the time of day). Runs in the session of
# scripts/session.sh, with a tone playing into the recorded sink.
#   commands.sh SONARIX_EXE [COMMANDS] [TIMED_ROUNDS]
set -euo pipefail
exe=$1
commands=${2:-10}
rounds=${3:-3}
work=$(mktemp -d /tmp/sonarix-commands.XXXXXX)
cp "$exe" "$work/Sonarix.exe"
printf '[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFileDir=%s\r\nSeqRecFilePrefix=b\r\n' \
  "$(winepath -w "$work/rec")" >"$work/Sonarix.ini"
sox -q -n -r 48000 -c 2 -b 16 -e signed -t raw - synth 3600 sine 1000 vol 0.5 |
  pacat --playback --device=vsink --format=s16le --rate=48000 --channels=2 --latency-msec=20 &
tone=$!
trap 'kill $tone 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineserver -p 60 || true # (already running: kept)
sonarix() { (cd "$work" && wine Sonarix.exe "$@" >/dev/null 2>&1); }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

echo "-- hand-over: a second copy's /marker, start to exit code, $commands times"
sonarix /record &
first=$!
sleep 3
times=()
for i in $(seq "$commands"); do
  start=$(date +%s%N)
  code=0
  sonarix /marker || code=$?
  times+=("$(ms_since "$start")")
  [ "$code" = 0 ] || echo "   /marker answered $code"
done
echo "   ${times[*]} ms; median $(median "${times[@]}") ms"
sonarix /stop /exit || true
sonarix /exit || true
wait "$first" 2>/dev/null || true

echo "-- /stop-after 10s: the file's length against 10 s, $rounds rounds"
for i in $(seq "$rounds"); do
  sonarix /record /stop-after 10s /exit
  file=$(ls -t "$work"/rec/*.wav | head -1)
  awk -v d="$(soxi -D "$file")" 'BEGIN { printf "   round %d: %.3f s, off by %+d ms\n", '"$i"', d, (d - 10) * 1000 }'
done

echo "-- /stop-at: the program's end against the time of day, $rounds rounds"
for i in $(seq "$rounds"); do
  at=$(($(date +%s) + 8))
  sonarix /record /stop-at "$(date -d "@$at" +%H:%M:%S)" /exit
  ended=$(date +%s%N)
  echo "   round $i: ended $(((ended - at * 1000000000) / 1000000)) ms after the time (the file's completion and the process's end included)"
done
