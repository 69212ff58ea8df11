#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS
# (default 60), one at a time, from its checked-in seeds and regression
# inputs; FUZZ_TARGETS="month_file config" runs only those. New inputs go to build/fuzz/corpus/<target>; a finding leaves its
# reproducer in build/fuzz/findings/<target>/ and makes the run fail.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DZADUD_FUZZ=ON -DZADUD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

status=0
for exe in "$build"/tests/fuzz/fuzz_*; do
  target=${exe##*/fuzz_}
  case " ${FUZZ_TARGETS:-$target} " in *" $target "*) ;; *) continue ;; esac
  work="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  set -- "tests/fuzz/corpus/$target"
  [ -d "tests/fuzz/regressions/$target" ] && set -- "$@" "tests/fuzz/regressions/$target"
  log="$build/$target.log"
  if "$exe" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$@" >"$log" 2>&1; then
    result=ok
  else
    result=FINDING
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$target: $result, ${runs:-?} executions in ${seconds} s"
  if [ "$result" = FINDING ]; then
    grep -m 3 -E 'broken promise|ERROR: |SUMMARY' "$log" || true
    ls "$findings"
  fi
done
exit $status
