#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job of pigmora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
exec build/bin/pigmora plugins "$@"
