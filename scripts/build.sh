#!/usr/bin/env bash
# Configures and builds, showing the build's progress on stderr.
# Usage: scripts/build.sh [--sanitize | --release] [TARGET...]   (every target when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  dir=build-asan
  # Built with clang, which also builds the fuzzing programs in the same tree: one instrumented
  # build serves the sanitizer suite and scripts/fuzz.sh (PIGMORA_FUZZ_DIR). Unoptimised with
  # line tables only, it compiles in half the time of -O1 -g and still names file and line; the
  # libraries that do the painting are raised to -O1 in CMakeLists.txt.
  flags=(-DCMAKE_BUILD_TYPE=Debug -DPIGMORA_SANITIZE=ON -DPIGMORA_BENCHMARKS=OFF)
  if command -v clang++ >/dev/null 2>&1; then
    export CC=clang CXX=clang++
    flags+=(-DPIGMORA_FUZZ=ON "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -gline-tables-only")
  fi
elif [ "${1:-}" = "--release" ]; then
  shift
  dir=build-release
  flags=(-DCMAKE_BUILD_TYPE=Release)
fi
[ -f "$dir/build.ninja" ] || echo "Configuring $dir (first run)..." >&2
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$dir" -j 2 "${targets[@]}" >&2
echo "$dir"
