#!/bin/bash
# Fuzzes every target of the native build (AddressSanitizer, UndefinedBehavior-
# Sanitizer, libFuzzer) long enough to pass 10 million executions each, and for
# at least N minutes with --minutes N; targets run side by side, one per core.
# Then keeps in tests/fuzz/corpus/<name>/ the inputs found that reach coverage
# the kept corpus does not (libFuzzer -merge=1), for the test command to replay.
# Usage: ./tools/fuzz.sh [--minutes N] [TARGET...]   (exit code 1 on a finding)
set -eu
cd "$(dirname "$0")/.."
minutes=0
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=${2:?--minutes needs a number}; shift 2 ;;
    -*) echo "usage: $0 [--minutes N] [TARGET...]" >&2; exit 2 ;;
    *) break ;;
  esac
done
./tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
root=$(pwd)
build=$root/build/native
targets=${*:-$(ls tests/fuzz/*.cpp | sed 's#.*/##; s#\.cpp$##')}
executions=10000000
export ASAN_OPTIONS=detect_leaks=1

# fuzz NAME: runs one target, then merges; its report goes to its log.
fuzz() {
  name=$1
  exe=$build/bin/fuzz_$name
  work=$build/fuzz-corpus/$name
  kept=$root/tests/fuzz/corpus/$name
  log=$build/fuzz-logs/$name.log
  mkdir -p "$work" "$kept" "$build/fuzz-logs" "$build/fuzz-findings"
  : >"$log"
  done_runs=0
  start=$(date +%s)
  while :; do
    elapsed=$(($(date +%s) - start))
    left_s=$((minutes * 60 - elapsed))
    left_runs=$((executions - done_runs))
    [ "$left_s" -gt 0 ] || [ "$left_runs" -gt 0 ] || break
    if [ "$left_s" -gt 0 ]; then limits="-max_total_time=$left_s"; else limits="-runs=$left_runs"; fi
    "$exe" $limits -timeout=10 -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$name-" \
      "$work" "$kept" >>"$log" 2>&1 || { echo "$name: FINDING, see $log and $build/fuzz-findings/"; return 1; }
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
    done_runs=$((done_runs + ${runs:-0}))
  done
  before=$(ls "$kept" | wc -l)
  "$exe" -merge=1 "$kept" "$work" >>"$log" 2>&1
  after=$(ls "$kept" | wc -l)
  echo "$name: $done_runs executions in $(($(date +%s) - start)) s, corpus $before -> $after inputs"
}

status=0
jobs=$(nproc)
running=0
for name in $targets; do
  [ -x "$build/bin/fuzz_$name" ] || { echo "$name: no such fuzz target"; status=1; continue; }
  fuzz "$name" >"$build/fuzz-$name.result" 2>&1 &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then wait -n || true; running=$((running - 1)); fi
done
wait
for name in $targets; do
  [ -f "$build/fuzz-$name.result" ] || continue
  cat "$build/fuzz-$name.result"
  grep -q FINDING "$build/fuzz-$name.result" && status=1
  rm -f "$build/fuzz-$name.result"
done
exit $status
