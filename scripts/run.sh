#!/usr/bin/env bash
# Builds Sonarix for Windows and starts it under Wine. Without a display, it runs on a private
# virtual display (Xvfb) with a private audio server, until the window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps Japanese file names to Unix ones through the locale's character set: UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target Sonarix
scripts/wine-prefix.sh "$PWD/build/windows/wineprefix"

export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -n "${DISPLAY:-}" ]; then
  exec wine build/windows/app/Sonarix.exe
fi
echo "run: no DISPLAY; running on a private Xvfb display"
exec scripts/session.sh wine build/windows/app/Sonarix.exe
