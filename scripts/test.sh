#!/usr/bin/env bash
# Builds and runs every test: natively under AddressSanitizer + UndefinedBehaviorSanitizer and
# under ThreadSanitizer, then the Windows build under Wine with a private display and audio
# server. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps Japanese file names to Unix ones through the locale's character set: UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
jobs=$(nproc)

scripts/setup.sh

for preset in native native-tsan; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs"
done

# Every fuzz target, briefly, from its checked-in corpus: none can rot unseen.
scripts/fuzz.sh 10

echo "== windows (Wine) =="
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
scripts/wine-prefix.sh "$PWD/build/windows/wineprefix"
scripts/session.sh ctest --preset windows
