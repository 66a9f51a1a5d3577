#!/bin/sh
# wine-bench.sh start|stop DIR [SETTLE_TOOL [VERSION [DPI]]]
# start: a fresh Wine prefix in DIR/prefix, a private Xvfb, a persistent
#        wineserver and a virtual desktop (its explorer owns the tray). With
#        VERSION (winxp, winxp64, win7, win10: what winecfg /v takes) the
#        prefix presents itself as that Windows; with DPI, the display runs
#        at that many dots per inch (96 is 100 %).
# stop:  ends only what start began: the prefix's wineserver and our Xvfb.
# KORV_WINE_BUILD_ARCH (32 or 64, by default the machine's choice) is the
# architecture of the programs it will run: a 32-bit bench where the 64-bit
# build's tests run instead is skipped (exit 77).
# KORV_BENCH_TASKBAR ("R G B") paints the desktop's taskbar in that colour.
set -u
cmd=$1 dir=$2 version=${4:-} dpi=${5:-}
KORV_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$KORV_ROOT/cmake/wine-env.sh"
export WINEPREFIX="$dir/prefix"

stop() {
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null; fi
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
    rm -f "$dir/xvfb.pid"
  fi
  return 0
}

# Starts a private Xvfb on a display number that it chooses itself among the
# free ones, and prints that number once the server is ready.
start_display() {
  : >"$dir/display.fd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display.fd" </dev/null >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  i=0
  while [ ! -s "$dir/display.fd" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null && [ $i -lt 100 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  n=$(tr -d ' \n' <"$dir/display.fd")
  [ -n "$n" ] || return 1
  echo "$n"
}

case "$cmd" in
  stop) korv_wine_for "${KORV_WINE_BUILD_ARCH:-$KORV_WINE_ARCH}"; stop; exit 0 ;;
  start) korv_wine_for "${KORV_WINE_BUILD_ARCH:-$KORV_WINE_ARCH}" ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac

stop
rm -rf "$dir"
mkdir -p "$dir" "$WINEPREFIX"
n=$(start_display) || { echo "no display could be started"; cat "$dir/xvfb.log"; exit 1; }
echo "$n" >"$dir/display"
export DISPLAY=":$n"

wineserver -p </dev/null >/dev/null 2>&1 || exit 1
wineboot -i </dev/null >"$dir/wineboot.log" 2>&1 || { cat "$dir/wineboot.log"; exit 1; }
# Every program of the prefix lands on one virtual desktop, whose explorer
# provides the notification area that Shell_NotifyIconA needs. Its name is
# not "Default": wineboot has already made a desktop of that name, outside
# any virtual desktop, where the notification area is a window of its own
# that waits 2 s for a window manager each time its last icon goes.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d KorvBench /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v KorvBench /d 1024x768 /f >/dev/null 2>&1
# With the shell, the notification area is explorer's own Shell_TrayWnd at the
# foot of the desktop, as on Windows, and it draws icons at the small-icon
# size of the DPI (Wine's stand-alone tray window draws them at 16 x 16).
wine reg add 'HKCU\Software\Wine\Explorer\Desktops\KorvBench' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null 2>&1
if [ -n "$version" ]; then
  wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
  # What programs of the prefix are told, checked rather than assumed: Wine
  # ignores a version it does not know for the prefix's architecture.
  case "$version" in
    winxp) expected=5.1 ;; winxp64) expected=5.2 ;; vista) expected=6.0 ;; win7) expected=6.1 ;;
    win8) expected=6.2 ;; win81) expected=6.3 ;; win10) expected=10.0 ;; *) expected= ;;
  esac
  shown=$(wine cmd /c ver </dev/null 2>/dev/null | tr -d '\r' | grep -o '[0-9][0-9.]*' | head -1)
  case "$shown" in
    "$expected".*) ;;
    *) echo "the prefix shows Windows $shown, not $version ($expected)" >&2; stop; exit 1 ;;
  esac
fi
if [ -n "$dpi" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
fi
# KORV_BENCH_TASKBAR="R G B" paints the taskbar in that colour (the README's
# pictures of a dark taskbar and a light one). Its window class names its
# brush as (HBRUSH)COLOR_WINDOW, without the usual + 1: the menu colour's. Read
# when the explorer below starts, as every system colour is.
if [ -n "${KORV_BENCH_TASKBAR:-}" ]; then
  wine reg add 'HKCU\Control Panel\Colors' /v Menu /d "$KORV_BENCH_TASKBAR" /f >/dev/null 2>&1
fi
# The explorer that wineboot left serves the X root window, not the virtual
# desktop set above; while it lives, the desktop's explorer started below
# leaves at once and every program lands on the root window. End the prefix's
# programs (only this prefix's server is asked) and start afresh.
wineserver -k </dev/null >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1 || exit 1
# Start the desktop's explorer ourselves, detached from CTest's output pipes,
# rather than letting the first test program start it with its own.
# Started by its path so that no start.exe stays behind: its hidden OLE window
# answers no messages and stalls every broadcast, DDE connections included.
wine "$WINEPREFIX/drive_c/windows/system32/explorer.exe" /desktop=KorvBench,1024x768 </dev/null >/dev/null 2>&1 &
sleep 1
if [ -n "${3:-}" ] && [ -f "$3" ]; then
  # Wine ends the desktop's explorer a moment after the last other program of
  # the desktop has gone; each test program would then start a new one and
  # wait about 10 s for it. A program that stays on the desktop until the
  # wineserver ends keeps this one for the whole run.
  wine "$3" keep </dev/null >/dev/null 2>&1 &
  # Programs still starting in the prefix may own windows that answer nothing
  # yet; a tool that waits for every window to answer keeps them out of tests.
  wine "$3" settle 30 </dev/null >/dev/null 2>&1 || echo "some windows still answer nothing"
fi
echo "wine bench ready: prefix $WINEPREFIX display :$n${version:+ Windows $version ($shown)}${dpi:+ $dpi DPI}"
