#!/bin/sh
# The scheduler, demonstrated for real under Wine:
#   ./tools/run.sh [--for SECONDS]     (default 40; Ctrl-C ends it earlier)
# Builds the program, prepares a work folder with three captured sites and a
# stand-in browser, puts the capture-application stand-in beside the program,
# starts it on a Wine virtual desktop (this display, or a private Xvfb), with
# French day and month names, schedules a capture 20 seconds ahead and reports
# what happens. Screenshots go to build/demo/.
set -eu
cd "$(dirname "$0")/.."
seconds=40
while [ $# -gt 0 ]; do
  case "$1" in
    --for) seconds=$2; shift 2 ;;
    --for=*) seconds=${1#--for=}; shift ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

./tools/install-deps.sh
# The 32-bit program where this machine runs 32-bit code, else its 64-bit
# build under 64-bit Wine (or with KORV_WINE_ARCH=64).
KORV_ROOT=$(pwd)
. cmake/wine-env.sh
korv_wine_for "$KORV_WINE_ARCH"
cmake --preset "$KORV_PRESET" >/dev/null
cmake --build --preset "$KORV_PRESET" --target KorvSchd korv98_stub korvctl browser_stub traydriver >/dev/null
bin=$(pwd)/build/$KORV_PRESET/bin
demo=$(pwd)/build/demo
rm -rf "$demo"
mkdir -p "$demo/prefix"
say() { printf '%s  %s\n' "$(date '+%H:%M:%S')" "$*"; }

export WINEPREFIX="$demo/prefix"
if locale -a 2>/dev/null | grep -qi '^fr_FR.utf8$'; then export LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8; fi

xvfb_pid=
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  n=96; while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  DISPLAY=":$n"; export DISPLAY
  sleep 1
fi
started=
cleanup() {
  trap - EXIT INT TERM
  if [ -n "$started" ]; then
    say "Unloading the scheduler."
    wine "$app/traydriver.exe" close >/dev/null 2>&1 || true
    wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v WebSched /f >/dev/null 2>&1 || true
  fi
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  say "Screenshots: $demo/tray.png and $demo/menu.png"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "The $KORV_WINE_BUILD: $KORV_WINE_WHY."
say "Preparing a Wine prefix (French locale: ${LC_ALL:-default})..."
wineboot -i </dev/null >/dev/null 2>&1
c="$WINEPREFIX/drive_c"
app="$c/Korvamo"
work="$app/Travail"
mkdir -p "$app/Navigateur" "$work"
cp "$bin/KorvSchd.exe" "$bin/KORV98.EXE" "$bin/korvctl.exe" "$bin/traydriver.exe" "$app/"
cp "$bin/browse.exe" "$app/Navigateur/"
echo 5000 >"$app/korv98.hold"

# A project file begins with length-prefixed texts: a signature, a version
# word, a second text (from version 512 on) and the title (Windows-1252).
lp() { n=$(printf %s "$1" | wc -c); printf "\\$(printf %03o "$n")"; printf %s "$1"; }
site() { # folder title
  mkdir -p "$work/$1"
  title=$(printf %s "$2" | iconv -f UTF-8 -t CP1252)
  { lp "Korvamo"; printf '\000\002'; lp "http://www.$1.example/"; lp "$title"; } >"$work/$1/$1.kvp"
  printf '<html><body><h1>%s</h1></body></html>\r\n' "$title" >"$work/$1/_accueil.htm"
  printf 'C:\\Korvamo\\Travail\\%s\\%s.kvp\r\n' "$1" "$1" >>"$work/webs.dat"
}
site Musee "Musée des Arts et Métiers"
site Meteo "Météo de la semaine"
site Cuisine "Recettes de cuisine française"
printf '[Browser]\r\nExeName=C:\\Korvamo\\Navigateur\\browse.exe\r\n' >"$work/Korvamo.ini"
printf '\r\n[KORVAMO]\r\nWORKPATH=C:\\Korvamo\\Travail\\\r\n' >>"$c/windows/win.ini"

wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Korvamo /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Korvamo /d 1024x768 /f >/dev/null 2>&1
wine "$c/windows/system32/explorer.exe" /desktop=Korvamo,1024x768 </dev/null >/dev/null 2>&1 &
sleep 1
wine "$app/traydriver.exe" settle 30 >/dev/null 2>&1 || true
wine 'C:\Korvamo\KorvSchd.exe' </dev/null >/dev/null 2>&1 &
wine "$app/traydriver.exe" wait 30 || { say "The scheduler did not start."; exit 1; }
started=1
say "KorvSchd.exe started (C:\\Korvamo\\KorvSchd.exe, display $DISPLAY)."

when=$(date -d '+20 seconds' '+%Y-%m-%d %H:%M:%S')
wine "$app/korvctl.exe" schedule "$when" >/dev/null
say "Capture scheduled with korvctl for $when."
sleep 1
tooltip=$(wine "$app/traydriver.exe" tooltip 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8 || true)
[ -z "$tooltip" ] || say "Tooltip: $tooltip"

# The icon sits at the right end of the desktop's taskbar: point at it so
# that its tooltip shows, then open the menu there and walk into "Webs".
xdotool mousemove 1012 757 2>/dev/null || true
sleep 2
import -window root "$demo/tray.png" 2>/dev/null || true
wine "$app/traydriver.exe" menu >/dev/null 2>&1 || true
sleep 1
xdotool key Down 2>/dev/null; sleep 0.3; xdotool key Down 2>/dev/null; sleep 0.3; xdotool key Right 2>/dev/null || true
sleep 1
import -window root "$demo/menu.png" 2>/dev/null || true
say "Screenshots of the tray and of the open menu taken."
# Choosing the first site opens its home page in the (stand-in) browser.
xdotool key Return 2>/dev/null || true
sleep 2
if [ -s "$app/Navigateur/browse.log" ]; then
  page=$(grep -m1 -o 'page=.*' "$app/Navigateur/browse.log" | tr -d '\r' | iconv -f CP1252 -t UTF-8 || true)
  say "First site chosen in the menu; the browser was asked to open ${page#page=}"
else
  wine "$app/traydriver.exe" endmenu >/dev/null 2>&1 || true
fi

due=$(date -d "$when" +%s)
end=$(( $(date +%s) + seconds - 3 ))
reported=
while [ "$(date +%s)" -lt "$end" ]; do
  if [ -z "$reported" ] && [ -s "$app/korv98.log" ]; then
    line=$(head -n 1 "$app/korv98.log")
    at=$(printf %s "$line" | cut -c12-23)
    late=$(python3 -c "import datetime as d; t=d.datetime.strptime('$(printf %s "$line" | cut -c1-23)','%Y-%m-%d %H:%M:%S.%f'); print(int((t.timestamp()-$due)*1000))")
    say "Capture application KORV98.EXE started at $at, $late ms after the date ($(printf %s "$line" | sed 's/.*\(show=[0-9]*\).*/\1/'))."
    state=$(wine "$app/korvctl.exe" status 2>/dev/null | tr -d '\r' | grep -i 'date\|capture' | head -n 1)
    say "Schedule now: $state"
    reported=1
  fi
  sleep 0.2
done
[ -n "$reported" ] || say "The capture application was not started within the demonstration's time."
