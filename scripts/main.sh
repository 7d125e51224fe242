#!/usr/bin/env bash
# Installs what is missing, builds what the demo needs (the plug-in and pigmora, with the build's
# progress shown), and runs the main job of pigmora: the demo, which paints a sphere and a box
# and writes their textures and a preview into pigmora-demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh pigmora pigmora_cli >/dev/null
exec build/bin/pigmora demo "$@"
