#!/usr/bin/env bash
# The release package: built twice, in two build folders, it gives the same bytes; it holds
# Sonarix.exe and the readme; the executable carries no link time and no symbols.
#   package_test.sh SCRATCH_FOLDER
set -euo pipefail
cd "$(dirname "$0")/../.."
scratch=$1
rm -rf "$scratch"
mkdir -p "$scratch"
passed=0
failed=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

scripts/package.sh "$scratch/build-a" "$scratch/dist-a" >/dev/null
scripts/package.sh "$scratch/build-b" "$scratch/dist-b" >/dev/null
a=$(ls "$scratch"/dist-a/Sonarix-*-win64.zip)
b=$(ls "$scratch"/dist-b/Sonarix-*-win64.zip)
check "two builds give the same bytes" cmp -s "$a" "$b"
version=$(sed -n 's/^project(Sonarix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "named for the version" test "$(basename "$a")" = "Sonarix-$version-win64.zip"
entries=$(python3 -c "import zipfile,sys; print(' '.join(zipfile.ZipFile(sys.argv[1]).namelist()))" "$a")
check "it holds the program and the readme: $entries" test "$entries" = "Sonarix/Sonarix.exe Sonarix/readme.txt"
exe="$scratch/build-a/ui/Sonarix.exe"
stamp=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^Time\/Date[[:space:]]*//p')
check "no link time in the header ($stamp)" grep -q "1970" <<<"$stamp"
check "no symbols" bash -c "! x86_64-w64-mingw32-objdump -h '$exe' | grep -q debug"
readme=$(python3 -c "import zipfile,sys; print(zipfile.ZipFile(sys.argv[1]).read('Sonarix/readme.txt').decode('utf-8-sig'))" "$a")
check "the readme names the version" grep -q "Sonarix $version" <<<"$readme"
rm -rf "$scratch"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
