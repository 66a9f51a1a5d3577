#!/bin/sh
# Checks the change-signal model (change_signal.pml) with spin, exhaustively:
# the program's version must hold every property, and each version with one of
# the scheduler's fixes taken out must fail the property that fix is for, so a
# model that has stopped seeing the faults fails too.
# Usage: change_signal.sh WORK_DIR [RUN...]   (exit code 0 only when every run,
#        or every run named, is as expected)
#        change_signal.sh --list               (the names of the runs)
# KORV_MODEL_DEEP=1 adds the program's version with larger bounds.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=${1:?usage: $0 WORK_DIR [RUN...] | --list}
shift
only=" $* "
list=""
[ "$work" != "--list" ] || list=1
[ -n "$list" ] || command -v spin >/dev/null 2>&1 || { echo "spin not found"; exit 1; }
# spin preprocesses with gcc by default; the native build may have only clang.
cc=""
for c in ${CC:-} cc gcc clang; do
  if command -v "$c" >/dev/null 2>&1; then cc=$c; break; fi
done
[ -n "$cc" ] || { echo "no C compiler found"; exit 1; }
cpp_option=""
command -v gcc >/dev/null 2>&1 || cpp_option="-P$cc -E -x c"
[ -n "$list" ] || mkdir -p "$work" || exit 1
failures=0
pan_cflags=""

# run NAME EXPECTED PAN_OPTIONS SPIN_DEFINES...
#   EXPECTED is "" for a run that must find nothing, else a text that pan's
#   first error line must hold.
run() {
  name=$1 expected=$2 panopts=$3
  shift 3
  if [ -n "$list" ]; then echo "$name"; return; fi
  case "$only" in
    "  " | *" $name "*) ;;
    *) return ;;
  esac
  dir="$work/$name"
  rm -rf "$dir" && mkdir -p "$dir" && cp "$here/change_signal.pml" "$dir/" || return 1
  (cd "$dir" && spin -a ${cpp_option:+"$cpp_option"} "$@" change_signal.pml >spin.log 2>&1 &&
    "$cc" -O2 -w -DSAFETY $pan_cflags -o pan pan.c >cc.log 2>&1) ||
    { echo "FAIL $name: model does not build"; cat "$dir/spin.log" "$dir/cc.log"; failures=$((failures + 1)); return; }
  (cd "$dir" && ./pan -m200000 $panopts >pan.log 2>&1)
  errors=$(sed -n 's/.*errors: \([0-9]*\).*/\1/p' "$dir/pan.log")
  first=$(grep -m1 '^pan:1:' "$dir/pan.log")
  if grep -q 'max search depth too small' "$dir/pan.log"; then
    echo "FAIL $name: search depth too small"; failures=$((failures + 1)); return
  fi
  if [ -z "$expected" ]; then
    if [ "$errors" = 0 ]; then
      echo "ok   $name: no violation ($(grep 'states, stored' "$dir/pan.log" | sed 's/^ *//'))"
    else
      echo "FAIL $name: $first"
      (cd "$dir" && spin -t -p ${cpp_option:+"$cpp_option"} "$@" change_signal.pml | tail -40)
      failures=$((failures + 1))
    fi
  else
    case "$first" in
      *"$expected"*) echo "ok   $name: found as expected: ${first#pan:1: }" ;;
      *) echo "FAIL $name: expected \"$expected\", got errors=${errors:-?} ${first:-}"
         failures=$((failures + 1)) ;;
    esac
  fi
}

# The program's protocol: every assertion holds and nothing deadlocks.
run fixed "" ""
# The same with a capture application that dies holding the writer mutex.
run abandoned "" "" -DABANDON

# Each fix taken out shows its fault.
run lost_notice "!(lostNotice)" "-E" -DNO_PUT_BACK
run due_save_loses_schedule "!(lostUpdate)" "-E" -DNO_LOCKED_DUE -DSET_STATES=0
run due_save_launches_twice "!(launchedTwice)" "-E" -DNO_LOCKED_DUE
run set_state_loses_schedule "!(lostUpdate)" "-E" -DNO_LOCKED_SET
run final_save_loses_schedule "!(lostUpdate)" "-E" -DNO_LOCKED_FINAL
run final_save_loses_command "!(lostCommand)" "-E" -DNO_PENDING_FLAG
run split_flag_stores_lose_command "!(lostCommand)" "-E" -DSPLIT_FLAG_STORES
run frozen_thread_hangs_unload "invalid end state" "-A" -DFREEZE_THREAD

# Larger bounds on demand: about 30 and 90 million states, 6 GB, 5 minutes.
if [ -n "${KORV_MODEL_DEEP:-}" ]; then
  pan_cflags=-DCOLLAPSE
  run fixed_two_commands "" "-w28" -DSET_STATES=2
  run fixed_three_writes_two_reads "" "-w28" -DWRITES=3 -DAPP_READS=2
fi

[ -z "$list" ] || exit 0
if [ "$failures" -ne 0 ]; then
  echo "$failures model run(s) failed"
  exit 1
fi
echo "all model runs as expected"
