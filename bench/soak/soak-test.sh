#!/bin/sh
# soak-test.sh DIR SOAK_BENCH TRAYDRIVER: the soak bench's 2-minute form in a
# fresh Wine prefix of its own under DIR (prefix, Xvfb, virtual desktop),
# ended whatever the outcome. Exit code: the bench's.
set -u
dir=$1 bench=$2 settle=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
KORV_DISPLAY_BASE=${KORV_DISPLAY_BASE:-150} "$here/cmake/wine-bench.sh" start "$dir" "$settle" || exit 1
trap '"$here/cmake/wine-bench.sh" stop "$dir"' EXIT INT TERM
export WINEPREFIX="$dir/prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
DISPLAY=":$(cat "$dir/display")"; export DISPLAY
wine "$bench" --minutes 2
