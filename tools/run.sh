#!/bin/sh
# Builds the scheduler and starts it under Wine on a virtual desktop (its tray
# is in the desktop window), on this display or on a private Xvfb.
set -e
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target KorvSchd korv98_stub
dir=$(pwd)/build/run
mkdir -p "$dir/prefix" "$dir/app"
cp build/mingw/bin/KorvSchd.exe build/mingw/bin/KORV98.EXE "$dir/app/"
export WINEPREFIX="$dir/prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  n=95; while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!; export DISPLAY=":$n"; sleep 1
fi
[ -f "$dir/prefix/system.reg" ] || wineboot -i >/dev/null 2>&1
cleanup() { wineserver -k 2>/dev/null || true; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM
echo "KorvSchd.exe runs on the Wine desktop of $DISPLAY; Ctrl-C unloads it."
wine explorer /desktop=Korvamo,1024x768 "$dir/app/KorvSchd.exe"
