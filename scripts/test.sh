#!/usr/bin/env bash
# Installs what is missing, builds Pellux twice (optimized, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs the whole test
# suite on both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build() {  # name, cmake options...
  local dir=build/$1
  shift
  cmake -S . -B "$dir" -G Ninja -DPELLUX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" --parallel "$jobs"
  (cd "$dir" && ctest --output-on-failure --parallel "$jobs")
}

echo "== optimized build"
build release -DCMAKE_BUILD_TYPE=Release
echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
build sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLUX_SANITIZE=ON
echo "All tests passed in both builds."
