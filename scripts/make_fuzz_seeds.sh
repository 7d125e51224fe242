#!/usr/bin/env bash
# Writes the seed images of fuzz/image_fuzz.cpp into data/fuzz/images: small painted textures
# saved by pigmora in every format it writes and at every depth the format holds, each prefixed
# with the byte that picks its suffix in the fuzz target (0 png, 1 tif, 2 exr, 3 jpg, 4 tga, 5 bmp).
# Usage: scripts/make_fuzz_seeds.sh [PIGMORA]   (build/bin/pigmora by default)
set -euo pipefail
cd "$(dirname "$0")/.."
pigmora=${1:-build/bin/pigmora}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
saves=""
for mode in argb8 rgb16 agreyf grey8; do
  for file in png tif exr jpg tga bmp; do
    case "$file/$mode" in
      exr/argb8 | exr/grey8 | png/agreyf | jpg/rgb16 | jpg/agreyf | tga/rgb16 | tga/agreyf | \
        bmp/rgb16 | bmp/agreyf) continue ;;
    esac
    saves+=", {\"step\": \"save\", \"material\": \"$mode\", \"file\": \"$mode.$file\"}"
  done
done
materials=""
for mode in argb8 rgb16 agreyf grey8; do
  materials+="{\"step\": \"material\", \"name\": \"$mode\", \"channels\": {\"color\": {\"size\": [12, 7], \"mode\": \"$mode\", \"fill\": [30, 160, 90]}}},"
  materials+="{\"step\": \"texture_tag\", \"object\": \"Card\", \"material\": \"$mode\"},"
done
# One stroke into each texture, so that every seed has more than a flat fill in it.
strokes=""
for mode in argb8 rgb16 agreyf grey8; do
  strokes+="{\"step\": \"painter\", \"colors\": {\"color\": {\"primary\": [0.9, 0.2, 0.1]}}, \"texture\": {\"material\": \"$mode\", \"channel\": \"color\"}},"
  strokes+="{\"step\": \"stroke\", \"uv\": [[0.1, 0.2], [0.9, 0.8]]},"
done
strokes=${strokes%,}
cat >"$work/job.json" <<JOB
{"steps": [
  {"step": "object", "name": "Card", "primitive": "grid", "size": 10, "columns": 2, "rows": 2},
  $materials
  {"step": "document", "active_object": "Card", "mode": 7},
  {"step": "tool", "id": 1035414, "settings": {"radius": 2.0, "strength": 0.7}},
  $strokes
  $saves
]}
JOB
"$pigmora" run "$work/job.json" --out "$work/out" >/dev/null
mkdir -p data/fuzz/images
rm -f data/fuzz/images/*
index() { case "$1" in png) echo 0 ;; tif) echo 1 ;; exr) echo 2 ;; jpg) echo 3 ;; tga) echo 4 ;; bmp) echo 5 ;; esac; }
for f in "$work"/out/*.*; do
  name=$(basename "$f")
  { printf "\\$(printf '%03o' "$(index "${name##*.}")")"; cat "$f"; } >"data/fuzz/images/$name"
done
ls data/fuzz/images | wc -l
