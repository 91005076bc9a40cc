#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Sonarix, and any further
# Debian packages named on the command line. Quick when everything is already there; fails
# loudly when a package cannot be installed.
#   scripts/setup.sh [PACKAGE...]
set -euo pipefail

packages=(
  cmake g++ make g++-mingw-w64-x86-64-posix wine wine64
  xvfb xdotool imagemagick x11-utils
  pulseaudio pulseaudio-utils fonts-ipafont-gothic
  sox libsox-fmt-all ffmpeg sndfile-programs python3 bc
  googletest libbenchmark-dev clang-format clang libclang-rt-14-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null; then
    echo "setup: could not install ${missing[*]}" >&2
    exit 1
  fi
fi
