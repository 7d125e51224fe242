#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize | --release]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DPIGMORA_SANITIZE=ON -DPIGMORA_BENCHMARKS=OFF)
elif [ "${1:-}" = "--release" ]; then
  dir=build-release
  flags=(-DCMAKE_BUILD_TYPE=Release)
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j 2
echo "$dir"
