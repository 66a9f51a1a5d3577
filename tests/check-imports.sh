#!/bin/sh
# Fails when the executable imports a DLL that Windows does not ship.
exe=$1
dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no import table read from $exe"; exit 1; }
bad=0
for d in $dlls; do
  case "$d" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|msvcrt.dll|comctl32.dll|ole32.dll) echo "ok   $d" ;;
    *) echo "BAD  $d"; bad=1 ;;
  esac
done
exit $bad
