#!/usr/bin/env bash
# Installs what is missing, builds Pellux and starts it.
#   bash scripts/run.sh            boots the demo ROM the build makes
#   bash scripts/run.sh FILE.rom   boots that image
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --parallel "$(nproc 2>/dev/null || echo 2)"

rom=${1:-$(pwd)/build/release/run/ti92p.rom}
case "$rom" in /*) ;; *) rom=$here/$rom ;; esac
exec build/release/tools/pellux-headless "$rom"
