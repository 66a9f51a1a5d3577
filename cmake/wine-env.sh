# Sourced by every script that runs Windows programs, after KORV_ROOT is set
# to the source tree: chooses which Windows build this machine runs and sets
# Wine up for it.
#   KORV_WINE_ARCH  32 or 64; set, it is kept (64 tries the 64-bit path on a
#                   machine that runs 32-bit code too); unset, it is probed.
#   KORV_WINE_WHY   why, for the scripts' first and last lines.
#   KORV_PRESET     the build that goes with it: mingw (32-bit, the program
#                   users get) or mingw64 (the same sources for x86_64).
# A kernel without 32-bit support answers "Exec format error" to the 32-bit
# loader, so the probe is whether that loader starts at all.
korv_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if [ -z "${KORV_WINE_ARCH:-}" ]; then
  if korv_runs_32bit; then
    KORV_WINE_ARCH=32 KORV_WINE_WHY="this machine runs 32-bit code"
  else
    KORV_WINE_ARCH=64 KORV_WINE_WHY="this machine runs no 32-bit code"
  fi
elif [ -z "${KORV_WINE_WHY:-}" ]; then
  KORV_WINE_WHY="chosen by KORV_WINE_ARCH=$KORV_WINE_ARCH"
fi
export KORV_WINE_ARCH KORV_WINE_WHY
if [ "$KORV_WINE_ARCH" = 64 ]; then
  KORV_PRESET=mingw64 KORV_WINE_BUILD="64-bit build under 64-bit Wine"
else
  KORV_PRESET=mingw KORV_WINE_BUILD="32-bit build under 32-bit Wine"
fi

# korv_wine_for ARCH: Wine set up for programs of that architecture (32 or
# 64). The 32-bit build's programs run only where the choice above is 32:
# elsewhere the script ends with CTest's skip code (77), saying why.
korv_wine_for() {
  if [ "$1" = 32 ] && [ "$KORV_WINE_ARCH" != 32 ]; then
    echo "skipped: a program of the 32-bit build, whose tests run where the machine runs 32-bit code; here the 64-bit build's run instead: $KORV_WINE_WHY"
    exit 77
  fi
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ "$1" = 64 ]; then
    # /usr/bin/wine and Debian's wineboot (which calls wine-stable) pick the
    # 32-bit loader whenever it is installed: the folder first on PATH gives
    # both names to the 64-bit one.
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in
      *":$KORV_ROOT/cmake/wine64:"*) ;;
      *) PATH="$KORV_ROOT/cmake/wine64:$PATH" ;;
    esac
    export PATH
  else
    export WINEARCH=win32
    unset WINELOADER
  fi
}
