#!/usr/bin/env bash
# Time from starting Sonarix.exe under Wine to its main window on the screen, over several
# runs; prints each and the median. The Wine server is kept running between runs, as on a
# desktop where Wine is in use. Runs in the session of scripts/session.sh.
#   startup_time.sh SONARIX_EXE [RUNS]
set -euo pipefail
exe=$1
runs=${2:-7}
work=$(mktemp -d /tmp/sonarix-startup.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$exe" "$work/Sonarix.exe"
wineserver -p 60
times=()
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  (cd "$work" && exec wine Sonarix.exe >/dev/null 2>&1) &
  program=$!
  for _ in $(seq 3000); do
    xdotool search --name '^Sonarix$' >/dev/null 2>&1 && break
    sleep 0.005
  done
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  times+=("$ms")
  echo "run $i: $ms ms"
  # End it, and wait (a while at most) until its window is gone.
  pkill -x Sonarix.exe 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  for _ in $(seq 100); do
    xdotool search --name '^Sonarix$' >/dev/null 2>&1 || break
    sleep 0.05
  done
  sleep 0.3
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "start-up to main window, median of $runs: $median ms"
