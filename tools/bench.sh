#!/bin/sh
# Builds the Windows program and runs every benchmark program under Wine in a
# fresh prefix of its own, then prints one table of figures (with two checks
# too slow for every test run: the end past its bounds repeated, and the
# release built twice), followed by the soak bench's tables (--minutes N: its
# length, 30 by default).
set -e
cd "$(dirname "$0")/.."
minutes=30
case "${1:-}" in
  --minutes) minutes=${2:?"--minutes needs a number"} ;;
  "") ;;
  *) echo "usage: $0 [--minutes N]" >&2; exit 2 ;;
esac
./tools/install-deps.sh
KORV_ROOT=$(pwd)
. cmake/wine-env.sh
korv_wine_for "$KORV_WINE_ARCH"
cmake --preset "$KORV_PRESET" >/dev/null
cmake --build --preset "$KORV_PRESET" >/dev/null
build=$(pwd)/build/$KORV_PRESET
dir=$(pwd)/build/bench-wine
./cmake/wine-bench.sh start "$dir" "$build/bin/traydriver.exe" >/dev/null
trap './cmake/wine-bench.sh stop "$dir"' EXIT INT TERM
export WINEPREFIX="$dir/prefix"
DISPLAY=":$(cat "$dir/display")"; export DISPLAY
echo "Benchmarks of the $KORV_WINE_BUILD ($KORV_WINE_WHY): KorvSchd.exe under $(wine --version), $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -m), load average $(cut -d" " -f1-3 /proc/loadavg)"
echo
echo "| measure | figure | target |"
echo "|---|---|---|"
for exe in "$build"/bin/*_bench.exe; do
  [ "$(basename "$exe")" != soak_bench.exe ] || continue
  wine "$exe" 2>/dev/null | grep '^|' || echo "| $(basename "$exe") | failed | |"
done
# The end past its bounds is a race in its date variant: a single run of the
# test may miss it, so it is repeated here.
rounds=30
wine "$build/bin/program_failure_tests.exe" --gtest_filter='ProgramFailureTest.AnEndPastItsBounds*' \
  --gtest_repeat=$rounds >"$dir/end-past-bounds.log" 2>&1 || true
failed=$(grep -c '^\[  FAILED  \] ProgramFailureTest.AnEndPastItsBounds.* ms)$' "$dir/end-past-bounds.log" || true)
echo "| end past its bounds ($rounds rounds): rounds that left a reader registered or a capture lost | $failed | 0 |"
./tools/check-reproducible.sh >"$dir/reproducible.log" 2>&1 || true
echo "| released files that differ between two builds in two folders (both architectures) | $(grep -c -e DIFFERS -e MISSING "$dir/reproducible.log") | 0 |"
echo
# Last: it broadcasts the shell's restart notice to every window of the prefix.
wine "$build/bin/soak_bench.exe" --minutes "$minutes" 2>/dev/null || echo "(the soak bench reports a failure)"
