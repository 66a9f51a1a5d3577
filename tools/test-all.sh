#!/bin/sh
# Builds both configurations and runs every test: the Windows program and its
# tests under Wine, the platform-free code natively with sanitizers, fuzzers
# and the protocol model. The two test runs go side by side, each line marked
# with its configuration: the Windows tests spend most of their time waiting
# (the soak bench alone runs for minutes), the native ones compute, at a lower
# priority so that they never hold up a Windows test. Ends with how long each
# part took: the wall time and the sum of the tests' own times.
set -e
cd "$(dirname "$0")/.."
./tools/install-deps.sh
export KORV_REQUIRE_INSTALLER=1
start=$(date +%s)
for preset in mingw native; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
cmake --build --preset mingw --target installer
built=$(date +%s)

# run PRESET NICENESS: the preset's tests, their lines marked, their log kept.
run() {
  log=build/$1/test-all.log
  rm -f "$log.failed"
  {
    nice -n "$2" ctest --preset "$1" 2>&1 || touch "$log.failed"
    date +%s >"$log.ended"
  } | tee "$log" | sed -u "s/^/$1 | /"
}
run mingw 0 &
run native 10 &
wait

status=0
summary="build of both: $((built - start)) s
"
for preset in mingw native; do
  log=build/$preset/test-all.log
  [ ! -f "$log.failed" ] || status=1
  sum=$(sed -n '/ Test *#/s/.* \([0-9.]*\) sec$/\1/p' "$log" | awk '{ s += $1 } END { printf "%.0f", s }')
  summary="$summary$preset tests: $(($(cat "$log.ended") - built)) s (sum of the tests' times $sum s)
"
  grep -A100 '^The following tests FAILED' "$log" | sed "s/^/$preset | /" || true
done
printf '%s' "$summary"
printf 'in all: %s s\n' "$(($(date +%s) - start))"
exit $status
