#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in build-fuzz/ and runs each for SECONDS (60 by
# default), starting from its seed corpus. Usage: scripts/fuzz.sh [SECONDS]
# PIGMORA_FUZZ_DIR=build-asan uses the sanitizer build instead (scripts/build.sh --sanitize
# configures it with the fuzzing programs when clang is installed), saving a third build.
# The seeds of fuzz/<name>.cpp are the files named in fuzz/<name>.seeds: one path or glob pattern
# a line, relative to the repository (@BUILD@ stands for the build folder). Inputs that crash
# are kept in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ is not installed (scripts/deps.sh installs it)." >&2
  exit 1
fi
dir=${PIGMORA_FUZZ_DIR:-build-fuzz}
if [ "$dir" = build-fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPIGMORA_FUZZ=ON -DPIGMORA_BENCHMARKS=OFF >/dev/null
elif ! grep -q '^PIGMORA_FUZZ:BOOL=ON' "$dir/CMakeCache.txt" 2>/dev/null; then
  echo "fuzz.sh: $dir is not configured with the fuzzing programs." >&2
  exit 1
fi
cmake --build "$dir" -j 2 --target fuzzers
# The address sanitizer's allocator keeps the pages of freed large blocks mapped unless told to
# give them back: the image reader, which frees a decoded image every run, otherwise grows past
# 1.5 GiB in 40 s with nothing leaked (about 470 MB when the pages go back).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_release_to_os_interval_ms=500
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/crashes
# Two programs run at a time, one a core; each writes its log to build-fuzz/logs/ and the log
# is shown when it ends.
mkdir -p build-fuzz/logs
fuzz_one() {
  local program=$1 name corpus pattern seed
  name=$(basename "$program")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  if [ -f "fuzz/$name.seeds" ]; then
    while IFS= read -r pattern; do
      [ -z "$pattern" ] && continue
      pattern=${pattern//@BUILD@/$dir}
      for seed in $pattern; do
        if [ -f "$seed" ]; then cp "$seed" "$corpus/$(echo "$seed" | tr / _)"; fi
      done
    done <"fuzz/$name.seeds"
  fi
  local extra=()
  if [ -f "fuzz/$name.dict" ]; then extra+=(-dict="fuzz/$name.dict"); fi
  # A unit still running after 30 s is a hang: the slowest example job takes about 16 s under the
  # sanitizers. One allocation above 2 GiB is a finding; the process as a whole may grow further,
  # since the sanitizer keeps freed memory in quarantine across runs.
  "$program" "$corpus" "${extra[@]}" -max_total_time="$seconds" -timeout=30 \
    -rss_limit_mb=4096 -malloc_limit_mb=2048 \
    -artifact_prefix=build-fuzz/crashes/"$name"- -print_final_stats=1 \
    >"build-fuzz/logs/$name.log" 2>&1
}
report() {
  local name=$1 result=$2
  echo "fuzz.sh: $name ran for $seconds s:"
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|DONE' \
    "build-fuzz/logs/$name.log" | sed 's/^/  /' || true
  if [ "$result" -ne 0 ]; then
    tail -n 60 "build-fuzz/logs/$name.log" >&2
    echo "fuzz.sh: $name found a failing input; see build-fuzz/crashes/." >&2
    status=1
  fi
}
status=0
programs=("$dir"/bin/fuzz/*)
for ((i = 0; i < ${#programs[@]}; i += 2)); do
  first=${programs[i]}
  second=${programs[i + 1]:-}
  fuzz_one "$first" &
  first_pid=$!
  if [ -n "$second" ]; then
    fuzz_one "$second" &
    second_pid=$!
  fi
  result=0
  wait "$first_pid" || result=$?
  report "$(basename "$first")" "$result"
  if [ -n "$second" ]; then
    result=0
    wait "$second_pid" || result=$?
    report "$(basename "$second")" "$result"
  fi
done
exit $status
