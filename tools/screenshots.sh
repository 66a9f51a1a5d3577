#!/bin/sh
# Screenshots of the tray for the README, made again from the built program:
#   ./tools/screenshots.sh [BUILD_DIR]      (default build/mingw)
# Starts KorvSchd.exe on the Wine test bench (private prefix and Xvfb) with a
# work folder of three captured sites and a capture scheduled with korvctl,
# then takes docs/tray-tooltip.png (icon and tooltip), docs/tray-menu.png (the popup menu with its Webs submenu) and
# docs/tray-suspended.png (after "Suspendre"), each shown twice its size.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/mingw}
bin=$(cd "$build/bin" && pwd)
cmake --build "$build" --target KorvSchd traydriver korvctl >/dev/null
bench=$(pwd)/$build/screenshots
KORV_DISPLAY_BASE=${KORV_DISPLAY_BASE:-170} cmake/wine-bench.sh start "$bench" >/dev/null
export WINEPREFIX="$bench/prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
DISPLAY=":$(cat "$bench/display")"
export DISPLAY
# French day and month names in the tooltip, when the system has them.
if locale -a 2>/dev/null | grep -qi '^fr_FR.utf8$'; then export LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8; fi
app="$WINEPREFIX/drive_c/Korvamo"
cleanup() {
  wine "$app/traydriver.exe" endmenu >/dev/null 2>&1 || true
  wine "$app/traydriver.exe" close >/dev/null 2>&1 || true
  cmake/wine-bench.sh stop "$bench"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Project files: a signature, the version word 512, a second text, the title;
# each text a length byte and Windows-1252 bytes.
mkdir -p "$app/Sites"
cp "$bin/KorvSchd.exe" "$bin/traydriver.exe" "$bin/korvctl.exe" "$app/"
text() { printf "\\$(printf %03o "$(printf %s "$1" | wc -c)")%s" "$1"; }
project() {
  mkdir -p "$app/Sites/$1"
  { text "Korvamo"; printf '\000\002'; text "http://www.$1.example/"
    text "$(printf %s "$2" | iconv -f UTF-8 -t CP1252)"; } >"$app/Sites/$1/$1.kvp"
  printf 'C:\\Korvamo\\Sites\\%s\\%s.kvp\r\n' "$1" "$1" >>"$app/Sites/webs.dat"
}
project Musee "Musée des Arts et Métiers"
project Meteo "Météo de la semaine"
project Cuisine "Recettes de cuisine française et régionale"
printf '\r\n[KORVAMO]\r\nWORKPATH=C:\\Korvamo\\Sites\\\r\n' >>"$WINEPREFIX/drive_c/windows/win.ini"

wine 'C:\Korvamo\KorvSchd.exe' </dev/null >/dev/null 2>&1 &
wine "$app/traydriver.exe" wait 30
# The tray's own window, shown with the first icon, which sits at the left of
# its client area.
i=0
until xwininfo -name "Wine System Tray" >/dev/null 2>&1; do
  i=$((i + 1)); [ $i -lt 100 ] || { echo "screenshots: no tray window" >&2; exit 1; }
  sleep 0.1
done
tray=$(xwininfo -name "Wine System Tray" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x, y}')
set -- $tray
icon_x=$(($1 + 10)) icon_y=$(($2 + 10))

# Until a window of the program at least w x h pixels is on the screen.
wait_for_window() {
  i=0
  until xwininfo -root -tree | grep -i '"korvschd.exe"' | awk -v w="$1" -v h="$2" \
      '{split($0, a, /\)  /); split(a[2], s, /[x+]/); if (s[1] >= w && s[2] >= h) f = 1} END{exit !f}'; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "screenshots: no window of ${1}x$2" >&2; exit 1; }
    sleep 0.1
  done
}
shot() { # name width height
  xwd -root | convert xwd:- -crop "$2x$3+0+0" +repage -filter point -resize 200% "docs/$1.png"
  echo "docs/$1.png"
}
hover() { xdotool mousemove $((icon_x + 20)) $((icon_y + 20)); sleep 0.3; xdotool mousemove "$icon_x" "$icon_y"
  sleep 0.2; xdotool mousemove $((icon_x + 1)) "$icon_y"; sleep 2; }

mkdir -p docs
wine "$app/korvctl.exe" schedule "2030-06-15 08:30:00" >/dev/null
sleep 1
hover
shot tray-tooltip 330 75
wine "$app/traydriver.exe" menu
wait_for_window 100 60
xdotool key w
wait_for_window 150 40
sleep 0.5
shot tray-menu 360 120
xdotool key Escape
xdotool key s
sleep 1
hover
shot tray-suspended 330 75
