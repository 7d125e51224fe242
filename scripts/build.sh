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
  flags=(-DCMAKE_BUILD_TYPE=Debug -DPIGMORA_SANITIZE=ON -DPIGMORA_BENCHMARKS=OFF)
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
