#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for SECONDS (60 by
# default), starting from its seed corpus. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/deps.sh --fuzz
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPIGMORA_FUZZ=ON -DPIGMORA_BENCHMARKS=OFF >/dev/null
targets=(document_fuzz)
cmake --build build-fuzz -j 2 --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  corpus="build-fuzz/fuzz/${t}_corpus"
  mkdir -p "$corpus"
  seeds=()
  [ -d "build-fuzz/fuzz/${t}_seeds" ] && seeds=("build-fuzz/fuzz/${t}_seeds")
  echo "fuzzing $t for $seconds s"
  # A failing input is kept beside the corpus as crash-*, leak-* or oom-*.
  "build-fuzz/bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/fuzz/${t}_" "$corpus" "${seeds[@]}"
done
