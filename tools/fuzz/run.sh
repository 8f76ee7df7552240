#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, ASan, UBSan) and
# runs each for SECONDS, up to one per core at a time, starting from the seed
# corpus in tests/fuzz/corpus/TARGET (new inputs go to build-fuzz/corpus/,
# so the seeds stay as committed). A crash's input is left in
# build-fuzz/crashes/TARGET/: fix it, and add the input to
# tests/fuzz/regressions/TARGET/, which the normal tests replay.
# FUZZ_RUNS=N also ends a target after N executions, whichever comes first;
# FUZZ_TIMEOUT=S allows one input S seconds (10), more for a niced run on a
# busy machine, where a slice of wall time is not a slice of processor time.
#   tools/fuzz/run.sh SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:?usage: tools/fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(request reply editmask displayformat options)

scripts/setup --fuzz
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEX_FUZZ=ON >/dev/null
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "fuzz_$t"); done
echo "fuzz: building ${targets[*]} (log: build-fuzz/build.log)"
if ! cmake --build build-fuzz -j "$(nproc)" "${build_targets[@]}" >build-fuzz/build.log 2>&1; then
  tail -n 40 build-fuzz/build.log
  echo "fuzz: build failed"
  exit 1
fi

run_one() {
  local t=$1 log=build-fuzz/fuzz_$1.log
  mkdir -p "build-fuzz/corpus/$t" "build-fuzz/crashes/$t"
  if ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "build-fuzz/bin/fuzz_$t" -max_total_time="$seconds" -runs="${FUZZ_RUNS:--1}" \
       -max_len=16384 -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$t/" \
       "build-fuzz/corpus/$t" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    local execs
    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    echo "fuzz: $t: ${execs:-?} executions, no crash"
  else
    echo "fuzz: $t: FAILED (log: $log, input in build-fuzz/crashes/$t/)"
    grep -m 20 -E "ERROR|SUMMARY|runtime error|#[0-9] " "$log" || tail -n 20 "$log"
    return 1
  fi
}

status=0
pids=()
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || status=1; done
  run_one "$t" &
  pids+=($!)
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
[ $status -eq 0 ] && echo "fuzz: every target ran clean" || echo "fuzz: failures above"
exit $status
