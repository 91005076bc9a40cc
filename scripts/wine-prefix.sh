#!/usr/bin/env bash
# Makes the Wine prefix given as $1 (once), with the dialog font mapped to a Japanese font.
set -euo pipefail

prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
marker=$prefix/.sonarix-prefix-2

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
    # No window manager runs on the virtual display: Wine draws the frames itself, and does not
    # wait for a manager to take a closed window away.
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  rm -f "$reg"
  wineserver -w
  touch "$marker"
fi
