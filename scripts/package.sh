#!/usr/bin/env bash
# Builds the release of Sonarix for Windows and writes dist/Sonarix-<version>-win64.zip with
# Sonarix.exe (stripped) and a short readme in Japanese. Two builds of the same commit give the
# same bytes: no timestamps in the executable, the zip's entries dated by the commit.
#   scripts/package.sh [BUILD_DIR [DIST_DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/package}
dist=${2:-dist}
export LANG=C.UTF-8 LC_ALL=C.UTF-8

scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DSONARIX_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$root=." \
  -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" >/dev/null
cmake --build "$build" -j"$(nproc)" --target Sonarix >/dev/null

version=$(sed -n 's/^project(Sonarix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
mkdir -p "$dist"
zip="$dist/Sonarix-$version-win64.zip"
python3 - "$build/ui/Sonarix.exe" package/readme.txt "$version" "$stamp" "$zip" <<'PY'
import sys, time, zipfile
exe, readme, version, stamp, out = sys.argv[1:]
date = time.gmtime(max(int(stamp), 315532800))[:6]  # zip dates start in 1980

def entry(name):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    info.create_system = 0
    return info

# The readme as Windows' Notepad reads it best: UTF-8 with a byte-order mark, CRLF lines.
text = open(readme, encoding="utf-8").read().replace("@VERSION@", version)
text = "\ufeff" + text.replace("\n", "\r\n")
with zipfile.ZipFile(out, "w") as z:
    z.writestr(entry("Sonarix/Sonarix.exe"), open(exe, "rb").read())
    z.writestr(entry("Sonarix/readme.txt"), text.encode("utf-8"))
PY
echo "package: $zip"
