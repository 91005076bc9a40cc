#!/usr/bin/env bash
# The program's import table names only DLLs that Windows always takes from the system folder
# (KnownDLLs) and comctl32, which the manifest takes side by side: any other DLL it imported
# would be looked for in the program's own folder first.
#   imports_test.sh PROGRAM
set -euo pipefail
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll "
allowed+="oleaut32.dll shell32.dll shlwapi.dll user32.dll "
imports=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table read from $1"; exit 1; }
status=0
for dll in $imports; do
  if [[ "$allowed" == *" $dll "* ]]; then
    echo "ok: $dll"
  else
    echo "NOT ALLOWED: $dll (load it with LoadSystemLibrary)"
    status=1
  fi
done
exit $status
