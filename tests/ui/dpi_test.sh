#!/usr/bin/env bash
# Runs the window's scale test under Wine at 120, 144 and 192 DPI (96 is the prefix's own and
# runs with the other window tests), and puts 96 back whatever happens.
#   dpi_test.sh UI_TESTS_EXE
set -euo pipefail
exe=$1
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}
trap 'set_dpi 96' EXIT
status=0
for dpi in 120 144 192; do
  set_dpi "$dpi"
  echo "== $dpi DPI =="
  SONARIX_EXPECTED_DPI=$dpi wine "$exe" --gtest_filter='Dpi.*' || status=1
done
exit $status
