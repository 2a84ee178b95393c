#!/usr/bin/env bash
# Installs what is missing, builds Pellux and opens its window.
#   bash scripts/run.sh            boots the demo ROM the build makes
#   bash scripts/run.sh FILE.rom   boots that image
# The window reads ti92p.rom from its working directory, so it starts in the
# folder of the image (an image of another name is linked as ti92p.rom in a
# folder of its own).
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --parallel "$(nproc 2>/dev/null || echo 2)"

rom=${1:-$repo/build/release/run/ti92p.rom}
case "$rom" in /*) ;; *) rom=$here/$rom ;; esac
if [ ! -f "$rom" ]; then
  echo "run.sh: no ROM image at $rom" >&2
  exit 1
fi
folder=$(dirname "$rom")
if [ "$(basename "$rom")" != ti92p.rom ]; then
  folder=$(mktemp -d)
  trap 'rm -rf "$folder"' EXIT
  ln -s "$rom" "$folder/ti92p.rom"
fi
cd "$folder"
"$repo/build/release/host/pellux"
