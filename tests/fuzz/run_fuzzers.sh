#!/usr/bin/env bash
# run_fuzzers.sh <build dir> [seconds] [jobs]: runs every fuzz target of the
# build for the given time (10 s by default) on a fresh seed corpus, jobs
# at a time (2 by default). Fails when a target reports a crash, a
# sanitizer error, a leak, a foreign exception, a hang or an allocation
# past its limits; the input that caused it is kept as
# <build dir>/tests/fuzz/artifacts/<target>-*, its log beside it.
set -euo pipefail
build=$1
seconds=${2:-10}
jobs=${3:-2}
fuzz=$build/tests/fuzz
corpus=$fuzz/corpus
rm -rf "$corpus" "$fuzz/artifacts"
mkdir -p "$fuzz/artifacts"
"$fuzz/km_fuzz_seeds" "$corpus"

run_one() {
  local name=$1 fuzz=$2 seconds=$3
  local log=$fuzz/artifacts/$name.log
  if "$fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$fuzz/artifacts/$name-" \
      "$fuzz/corpus/$name" >"$log" 2>&1; then
    echo "$name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" \
      | grep -o '[0-9]*$') inputs, no finding"
  else
    echo "$name: FINDING (log $log)"
    tail -n 40 "$log"
    return 1
  fi
}
export -f run_one

targets=$(cd "$fuzz" && ls fuzz_* | grep -v '\.' )
printf '%s\n' $targets \
  | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$fuzz" "$seconds"
