#!/usr/bin/env bash
# Makes the Wine prefix given as $1 (once), with the dialog font mapped to a Japanese font.
set -euo pipefail

prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
marker=$prefix/.sonarix-fonts

if [ ! -f "$marker" ]; then
  mkdir -p "$prefix"
  wineboot --init >/dev/null 2>&1
  # regedit takes full-width names only from a UTF-16LE file with a byte-order mark.
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS Shell Dlg' 'MS Shell Dlg 2' 'ＭＳ ゴシック' 'MS Gothic' 'MS UI Gothic'; do
      printf '"%s"="IPAPGothic"\r\n' "$face"
    done
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  rm -f "$reg"
  wineserver -w
  touch "$marker"
fi
