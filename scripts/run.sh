#!/usr/bin/env bash
# Installs what is missing, builds Pellux and opens its window.
#   bash scripts/run.sh            boots the demo ROM the build makes
#   bash scripts/run.sh FILE.rom   boots that image
# An up-to-date build is neither configured nor built again.
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh
if [ ! -f build/release/build.ninja ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# Ninja reconfigures by itself when a CMake file changed, and does nothing
# when everything is up to date.
cmake --build build/release --parallel "$(nproc 2>/dev/null || echo 2)"

if [ $# -eq 0 ]; then
  set -- "$repo/build/release/run/ti92p.rom"
fi
# A relative path names a file from where the script was started.
args=()
for arg in "$@"; do
  case "$arg" in
    -*|/*) args+=("$arg") ;;
    *) args+=("$here/$arg") ;;
  esac
done
exec "$repo/build/release/host/pellux" "${args[@]}"
