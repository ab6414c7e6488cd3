#!/usr/bin/env bash
# Builds the fuzz preset, runs its CTest (each target once over its seeds and
# kept crash inputs), then runs each fuzz target for a while on a copy of its
# seed corpus and its kept crash inputs (the committed corpus never grows; new
# inputs go to build/fuzz/corpus-work/<target>).
#   scripts/fuzz.sh                  every target, 30 seconds each
#   scripts/fuzz.sh 600 fuzz_records fuzz_point_list
#   FUZZ_JOBS=2 scripts/fuzz.sh      two targets at a time (a machine of its own)
# Prints one line per target: executions, corpus size and result. Exits
# non-zero when a target crashed, leaked, timed out or ran out of memory; the
# line names the file holding the input.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
case "$seconds" in
  ''|*[!0-9]*) echo "usage: $0 [seconds per target] [targets...]" >&2; exit 2 ;;
esac

build=build/fuzz
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j 2
# Every seed and every kept crash input once.
ctest --preset fuzz

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

# One target's run; prints its line and fails when the target failed.
run_target() {
  local target=$1 binary=$build/fuzz/$1 work=$build/corpus-work/$1 artifacts=$build/artifacts/$1
  local log=$build/logs/$1.log status=0 runs rate corpus crash
  local dict=()
  if [ ! -x "$binary" ]; then
    echo "fuzz: $target: no such target ($binary)"
    return 1
  fi
  rm -rf "$work"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  cp fuzz/corpus/"$target"/* "$work"/
  if [ -d fuzz/regressions/"$target" ]; then
    find fuzz/regressions/"$target" -type f -exec cp {} "$work"/ \;
  fi
  if [ -f fuzz/"$target".dict ]; then
    dict=(-dict="fuzz/$target.dict")
  fi

  "$binary" "$work" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" > "$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  corpus=$(find "$work" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $target: ${runs:-?} executions (${rate:-?}/s), corpus $corpus, no crash"
    return 0
  fi
  crash=$(sed -n 's/^.*Test unit written to //p' "$log" | tail -n 1)
  echo "fuzz: $target: ${runs:-?} executions, corpus $corpus, FAILED (exit $status), input: ${crash:-see $log}, log: $log"
  return 1
}

# FUZZ_JOBS targets run at once (default 1); their lines come in target order.
jobs=${FUZZ_JOBS:-1}
results=$build/results
rm -rf "$results"
mkdir -p "$results"
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
  for target in "${targets[@]:first:jobs}"; do
    { run_target "$target" > "$results/$target" && touch "$results/$target.ok"; } &
  done
  wait
done

failed=0
for target in "${targets[@]}"; do
  cat "$results/$target"
  [ -e "$results/$target.ok" ] || failed=1
done
exit $failed
