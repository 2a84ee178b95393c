#!/usr/bin/env bash
# How well the calculator's clock keeps real time while its program sleeps.
#
# Runs pellux-headless with real-time pacing (the window's idle loop: a 3 ms
# sleep, then one catch-up per pass) on a test ROM that turns the timers on
# and sleeps with STOP, for SECONDS of real time, and compares the timer
# ticks the machine counted with the 1024 a second that real time is worth.
# Goal: within 0.5 % over 60 s on an otherwise idle host.
#
#   bash bench/clock_accuracy.sh [SECONDS]      (default 60; build in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${PELLUX_BUILD_DIR:-build/release}

if [ -z "${PELLUX_NO_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target pellux-headless pellux-test-rom >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tests/host/pellux-test-rom" sleep "$work/sleep.rom"
"$build/tools/pellux-headless" "$work/sleep.rom" --realtime --seconds "$seconds" >"$work/out"

ticks=$(awk '/timer ticks/ { print $3 }' "$work/out")
asleep=$(awk '/asleep/ { print $2 }' "$work/out")
awk -v ticks="$ticks" -v seconds="$seconds" -v asleep="$asleep" 'BEGIN {
  expected = seconds * 1024
  printf "clock: %d ticks in %s s of real time, expected %d: %+.2f %% (goal: within 0.5 %%); asleep %s of the time\n",
         ticks, seconds, expected, 100 * (ticks - expected) / expected, asleep
}'
