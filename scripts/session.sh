#!/usr/bin/env bash
# Runs a command with a private X display (Xvfb) and a private PulseAudio server whose default
# source is the monitor of a null sink, so that what is played into the sink can be recorded.
# Both are stopped when the command ends, also when it fails or is interrupted.
#   scripts/session.sh COMMAND [ARGS...]
# The command sees DISPLAY, PULSE_SERVER and SONARIX_SESSION_DIR.
set -euo pipefail

dir=$(mktemp -d /tmp/sonarix-session.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display number that nobody uses.
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
pids+=($!)

cat >"$dir/null.pa" <<PA
load-module module-null-sink sink_name=vsink
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
set-default-sink vsink
set-default-source vsink.monitor
PA
HOME=$dir XDG_RUNTIME_DIR=$dir pulseaudio -n -F "$dir/null.pa" --exit-idle-time=-1 \
  --daemonize=no --use-pid-file=no --disable-shm=yes >"$dir/pulse.log" 2>&1 &
pids+=($!)

export DISPLAY=:$display PULSE_SERVER=unix:$dir/pulse.sock SONARIX_SESSION_DIR=$dir
for _ in $(seq 100); do
  if [ -e "/tmp/.X11-unix/X$display" ] && pactl info >/dev/null 2>&1; then break; fi
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "session: PulseAudio did not start:"; cat "$dir/pulse.log"; exit 1; }
[ -e "/tmp/.X11-unix/X$display" ] || { echo "session: Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }

"$@"
