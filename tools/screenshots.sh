#!/bin/sh
# Screenshots of the tray for the README, made again from the built program:
#   ./tools/screenshots.sh [BUILD_DIR]      (default build/mingw, or
#                                            build/mingw64 where this machine
#                                            runs no 32-bit code)
# Starts KorvSchd.exe on the Wine test bench (private prefix and Xvfb, the
# desktop's taskbar at its foot) with a work folder of three captured sites
# and a capture scheduled with korvctl, once at 96 DPI (100 %) and once at
# 192 DPI (200 %). Each run takes docs/tray-tooltip*.png (icon and tooltip),
# docs/tray-menu*.png (the popup menu with its Webs submenu) and
# docs/tray-suspended*.png (after "Suspendre"); the 96-DPI pictures are shown
# twice their size, the 192-DPI ones (suffix -192dpi) as they are. Then
# docs/tray-dark-taskbar.png and docs/tray-light-taskbar.png: the icon at work
# and suspended on a taskbar of #202020 and of #F3F3F3, at 96 DPI (four times
# their size) and at 192 DPI (twice).
set -eu
cd "$(dirname "$0")/.."
KORV_ROOT=$(pwd)
. cmake/wine-env.sh
korv_wine_for "$KORV_WINE_ARCH"
build=${1:-build/$KORV_PRESET}
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$KORV_PRESET" >/dev/null
cmake --build "$build" --target KorvSchd traydriver korvctl >/dev/null
bin=$(cd "$build/bin" && pwd)
echo "screenshots: the $KORV_WINE_BUILD ($KORV_WINE_WHY)"
# French day and month names in the tooltip, when the system has them.
if locale -a 2>/dev/null | grep -qi '^fr_FR.utf8$'; then export LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8; fi
mkdir -p docs

bench=
cleanup() {
  [ -n "$bench" ] || return 0
  wine "$WINEPREFIX/drive_c/Korvamo/traydriver.exe" endmenu >/dev/null 2>&1 || true
  wine "$WINEPREFIX/drive_c/Korvamo/traydriver.exe" close >/dev/null 2>&1 || true
  cmake/wine-bench.sh stop "$bench"
  bench=
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Project files: a signature, the version word 512, a second text, the title;
# each text a length byte and Windows-1252 bytes.
text() { printf "\\$(printf %03o "$(printf %s "$1" | wc -c)")%s" "$1"; }
project() {
  mkdir -p "$app/Sites/$1"
  { text "Korvamo"; printf '\000\002'; text "http://www.$1.example/"
    text "$(printf %s "$2" | iconv -f UTF-8 -t CP1252)"; } >"$app/Sites/$1/$1.kvp"
  printf 'C:\\Korvamo\\Sites\\%s\\%s.kvp\r\n' "$1" "$1" >>"$app/Sites/webs.dat"
}

# Until a window of the program at least w x h pixels is on the screen.
wait_for_window() {
  i=0
  until xwininfo -root -tree | grep -i '"korvschd.exe"' | awk -v w="$1" -v h="$2" \
      '{split($0, a, /\)  /); split(a[2], s, /[x+]/); if (s[1] >= w && s[2] >= h) f = 1} END{exit !f}'; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "screenshots: no window of ${1}x$2" >&2; exit 1; }
    sleep 0.1
  done
}

# bench_up NAME DPI TASKBAR [WORK]: a bench at that DPI, its taskbar in the
# colour TASKBAR ("R G B", or empty for Wine's), with the programs in
# C:\Korvamo; with WORK, the work folder of three captured sites too. Then
# starts the scheduler and waits for it.
bench_up() {
  bench=$(pwd)/$build/screenshots-$1
  KORV_BENCH_TASKBAR=$3 cmake/wine-bench.sh start "$bench" "$bin/traydriver.exe" "" "$2" >/dev/null
  export WINEPREFIX="$bench/prefix"
  DISPLAY=":$(cat "$bench/display")"
  export DISPLAY
  app="$WINEPREFIX/drive_c/Korvamo"
  mkdir -p "$app/Sites"
  cp "$bin/KorvSchd.exe" "$bin/traydriver.exe" "$bin/korvctl.exe" "$app/"
  if [ -n "${4:-}" ]; then
    project Musee "Musée des Arts et Métiers"
    project Meteo "Météo de la semaine"
    project Cuisine "Recettes de cuisine française et régionale"
    printf '\r\n[KORVAMO]\r\nWORKPATH=C:\\Korvamo\\Sites\\\r\n' >>"$WINEPREFIX/drive_c/windows/win.ini"
  fi
  wine 'C:\Korvamo\KorvSchd.exe' </dev/null >/dev/null 2>&1 &
  wine "$app/traydriver.exe" wait 30
}

# shoot DPI SUFFIX ZOOM: one set of pictures at that DPI.
shoot() {
  dpi=$1 suffix=$2 zoom=$3
  bench_up "$dpi" "$dpi" "" work
  # The taskbar across the foot of the 1024 x 768 desktop is one icon slot
  # high (the small-icon side of the DPI and a border of 2 pixels each way);
  # the only icon sits in the rightmost slot.
  slot=$((16 * dpi / 96 + 4))
  icon_x=$((1024 - slot / 2)) icon_y=$((768 - slot / 2))
  # shot NAME WIDTH HEIGHT: the desktop's lower right corner, where the
  # tooltip and the menu open, of a size given at 96 DPI.
  shot() {
    w=$(($2 * dpi / 96)) h=$(($3 * dpi / 96))
    xwd -root | convert xwd:- -crop "${w}x$h+$((1024 - w))+$((768 - h))" +repage \
      -filter point -resize "$zoom" "docs/$1$suffix.png"
    echo "docs/$1$suffix.png"
  }
  hover() { xdotool mousemove $((icon_x - 40)) $((icon_y - 40)); sleep 0.3; xdotool mousemove "$icon_x" "$icon_y"
    sleep 0.2; xdotool mousemove $((icon_x - 1)) "$icon_y"; sleep 2; }
  # Away from the icon, so that its tooltip closes, but on the taskbar beside
  # it, where the right click of a user would open the menu.
  beside() { xdotool mousemove $((icon_x - 40)) $((icon_y - 40)); sleep 1; xdotool mousemove $((icon_x - slot)) "$icon_y"
    sleep 0.3; }

  wine "$app/korvctl.exe" schedule "2030-06-15 08:30:00" >/dev/null
  sleep 1
  hover
  shot tray-tooltip 340 50
  beside
  wine "$app/traydriver.exe" menu
  wait_for_window 100 60
  wine "$app/traydriver.exe" key w
  wait_for_window 150 40
  sleep 0.5
  shot tray-menu 420 110
  wine "$app/traydriver.exe" key escape
  sleep 0.3
  wine "$app/traydriver.exe" key s
  sleep 1
  hover
  shot tray-suspended 340 50
  cleanup
}

# icons NAME "R G B" DPI ZOOM: the icon at work and suspended, side by side,
# in the taskbar's three rightmost slots, into $shots/NAME-DPI.png.
icons() {
  dpi=$3
  bench_up "$1-$dpi" "$dpi" "$2"
  sleep 1
  slot=$((16 * dpi / 96 + 4))
  corner() { xwd -root | convert xwd:- -crop "$((3 * slot))x$slot+$((1024 - 3 * slot))+$((768 - slot))" +repage \
    -filter point -resize "$4" "$shots/$1-$dpi-$5.png"; }
  corner "$@" active
  wine "$app/korvctl.exe" suspend >/dev/null
  sleep 1.5
  corner "$@" suspended
  convert "$shots/$1-$dpi-active.png" "$shots/$1-$dpi-suspended.png" +append "$shots/$1-$dpi.png"
  cleanup
}

shoot 96 "" 200%
shoot 192 -192dpi 100%
shots=$(pwd)/$build/screenshots-taskbars
mkdir -p "$shots"
for taskbar in "dark:32 32 32:#202020" "light:243 243 243:#F3F3F3"; do
  name=${taskbar%%:*} rgb=${taskbar#*:} hex=${taskbar##*:}
  rgb=${rgb%:*}
  icons "$name" "$rgb" 96 400%
  icons "$name" "$rgb" 192 200%
  convert "$shots/$name-96.png" "$shots/$name-192.png" -background "$hex" -gravity center -splice 16x0 +append +repage \
    "docs/tray-$name-taskbar.png"
  echo "docs/tray-$name-taskbar.png"
done
