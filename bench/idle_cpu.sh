#!/usr/bin/env bash
# Host CPU use of the window while the calculator sleeps.
#
# Starts pellux in an X server of its own (Xvfb) on a test ROM that turns the
# timers on, draws a picture and sleeps with STOP (so the main loop is in its
# idle mode, waking for the 256 level-1 interrupts a second), lets it settle,
# then reads the process's user + system CPU time from /proc/PID/stat over a
# few seconds and prints it as a percentage of one core. Goal: at most 3 %.
#
#   bash bench/idle_cpu.sh [SECONDS]      (default 5; build in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
seconds=${1:-5}
build=${PELLUX_BUILD_DIR:-build/release}

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target pellux pellux-test-rom >/dev/null

work=$(mktemp -d)
xvfb_pid=
pellux_pid=
cleanup() {
  set +e
  for pid in $pellux_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tests/host/pellux-test-rom" sleep "$work/ti92p.rom"

# Xvfb picks a free display and writes its number to file descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(head -n1 "$work/display")

(cd "$work" && DISPLAY=$display QT_QPA_PLATFORM=xcb exec "$repo/$build/host/pellux") &
pellux_pid=$!
sleep 2  # start-up and the first paints

cpu_ticks() {  # utime + stime of the process, in clock ticks
  local stat rest
  stat=$(cat "/proc/$1/stat")
  rest=${stat##*) }
  read -r -a f <<<"$rest"
  echo $((f[11] + f[12]))
}
hz=$(getconf CLK_TCK)
t0=$(date +%s%N)
c0=$(cpu_ticks "$pellux_pid")
sleep "$seconds"
c1=$(cpu_ticks "$pellux_pid")
t1=$(date +%s%N)

awk -v cpu=$((c1 - c0)) -v hz="$hz" -v ns=$((t1 - t0)) 'BEGIN {
  wall = ns / 1e9
  printf "pellux idle: %.2f s of CPU in %.2f s = %.1f %% of one core (goal: at most 3 %%)\n", cpu / hz, wall, 100 * cpu / hz / wall
}'
