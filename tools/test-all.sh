#!/bin/sh
# Builds both configurations and runs every test: the Windows program and its
# tests under Wine, the platform-free code natively with sanitizers, fuzzers
# and the protocol model. Ends with how long each part took: the wall time and
# the sum of the tests' own times (the tests of a preset run side by side).
set -e
cd "$(dirname "$0")/.."
./tools/install-deps.sh
status=0
summary=""
export KORV_REQUIRE_INSTALLER=1
for preset in mingw native; do
  start=$(date +%s)
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  [ "$preset" != mingw ] || cmake --build --preset mingw --target installer
  built=$(date +%s)
  log=build/$preset/test-all.log
  rm -f "$log.failed"
  { ctest --preset "$preset" || touch "$log.failed"; } | tee "$log"
  [ ! -f "$log.failed" ] || status=1
  ended=$(date +%s)
  sum=$(sed -n '/ Test *#/s/.* \([0-9.]*\) sec$/\1/p' "$log" | awk '{ s += $1 } END { printf "%.0f", s }')
  summary="$summary$preset: build $((built - start)) s, tests $((ended - built)) s (sum of the tests' times $sum s)
"
done
printf '%s' "$summary"
exit $status
