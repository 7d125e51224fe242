#!/usr/bin/env bash
# Long runs of the random-undo property test: ROUNDS random actions for each of SEEDS seeds.
# Usage: scripts/undo_soak.sh [SEEDS] [ROUNDS]   (100 seeds of 400 actions by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:-100}
rounds=${2:-400}
flock /work/build.lock cmake --build build -j2 --target undo_random_test >/dev/null
for seed in $(seq 1 "$seeds"); do
  PIGMORA_UNDO_SEED=$seed PIGMORA_UNDO_ROUNDS=$rounds flock /work/build.lock \
    build/tests/undo_random_test --gtest_brief=1 || { echo "undo_soak.sh: seed $seed failed" >&2; exit 1; }
done
echo "undo_soak.sh: $seeds seeds of $rounds actions, every one exact"
