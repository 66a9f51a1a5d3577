#!/bin/sh
# Builds and runs every test: the Windows program and its tests under Wine, the
# platform-free code natively with sanitizers, fuzzers and the protocol model.
# Which Windows build runs under Wine is asked once (cmake/wine-env.sh): the
# 32-bit one, the program users get, where this machine runs 32-bit code; the
# 64-bit build of the same sources under 64-bit Wine where it runs none, or
# with KORV_WINE_ARCH=64. The 32-bit program is built everywhere and its
# checks that need no execution run everywhere; its entries that need Wine
# are skipped, each saying why, where they cannot run.
# The test runs go side by side, each line marked with its configuration: the
# Windows tests under Wine spend most of their time waiting, the others
# compute, at a lower priority so that they never hold up a Windows test.
# Ends with how long each part took: the wall time and the sum of the tests'
# own times.
# --windows-only: the chosen Windows build's tests only, less its lint: a
# second run after a full one, for the other build (.ci/run runs the 64-bit
# build's tests this way where the full run took the 32-bit build's).
set -e
cd "$(dirname "$0")/.."
windows_only=
case "${1:-}" in
  --windows-only) windows_only=1 ;;
  "") ;;
  *) echo "usage: $0 [--windows-only]" >&2; exit 2 ;;
esac
./tools/install-deps.sh
KORV_ROOT=$(pwd)
. cmake/wine-env.sh
echo "Windows tests: $KORV_WINE_BUILD: $KORV_WINE_WHY${windows_only:+ (these only)}"
export KORV_REQUIRE_INSTALLER=1
start=$(date +%s)
presets="mingw native"
cmake --preset mingw >/dev/null
if [ "$KORV_PRESET" = mingw ]; then
  cmake --build --preset mingw
  cmake --build --preset mingw --target installer
else
  # The 32-bit program and its installer, for the checks that read them.
  cmake --build --preset mingw --target KorvSchd korvctl
  cmake --build --preset mingw --target installer
  cmake --preset mingw64 >/dev/null
  cmake --build --preset mingw64
  cmake --build --preset mingw64 --target installer
  presets="mingw64 mingw native"
fi
if [ -n "$windows_only" ]; then
  presets=$KORV_PRESET
else
  cmake --preset native >/dev/null
  cmake --build --preset native
fi
built=$(date +%s)

# run PRESET NICENESS [CTEST ARGS]: the preset's tests, their lines marked,
# their log kept.
run() {
  log=build/$1/test-all.log
  preset=$1 niceness=$2
  shift 2
  rm -f "$log.failed"
  {
    nice -n "$niceness" ctest --preset "$preset" "$@" 2>&1 || touch "$log.failed"
    date +%s >"$log.ended"
  } | tee "$log" | sed -u "s/^/$preset | /"
}
for preset in $presets; do
  if [ "$preset" = "$KORV_PRESET" ] && [ -n "$windows_only" ]; then
    run "$preset" 0 -E '^tidy_win32$' &
  elif [ "$preset" = "$KORV_PRESET" ]; then
    run "$preset" 0 &
  elif [ "$preset" = mingw ]; then
    # The lint of the Win32 layer runs once, on the build whose tests run:
    # the same sources, and the longest computation of the run.
    run mingw 10 -E '^tidy_win32$' &
  else
    run "$preset" 10 &
  fi
done
wait

status=0
summary="build: $((built - start)) s
"
for preset in $presets; do
  log=build/$preset/test-all.log
  [ ! -f "$log.failed" ] || status=1
  sum=$(sed -n '/ Test *#/s/.* \([0-9.]*\) sec$/\1/p' "$log" | awk '{ s += $1 } END { printf "%.0f", s }')
  skipped=$(grep -c '\*\*\*Skipped' "$log" || true)
  summary="$summary$preset tests: $(($(cat "$log.ended") - built)) s (sum of the tests' times $sum s)${skipped:+, $skipped skipped}
"
  grep -A100 '^The following tests FAILED' "$log" | sed "s/^/$preset | /" || true
done
printf '%s' "$summary"
[ "$KORV_PRESET" = mingw ] || [ -n "$windows_only" ] || echo "32-bit build: only its checks that need no execution ran (its lint runs on the 64-bit build); every entry that needs 32-bit Wine was skipped: $KORV_WINE_WHY"
echo "Windows tests: $KORV_WINE_BUILD: $KORV_WINE_WHY${windows_only:+ (these only)}"
printf 'in all: %s s\n' "$(($(date +%s) - start))"
exit $status
