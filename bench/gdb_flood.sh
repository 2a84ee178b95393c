#!/usr/bin/env bash
# The gdb stub under two floods, for pellux-headless and the window:
#   noread   a client lets the calculator run, then sends 8 KB memory reads
#            as fast as the socket takes them and never reads a reply;
#   endless  a client lets the calculator run, then sends one packet that
#            never ends.
# Each runs for SECONDS (default 60) with the program under a fixed ceiling of
# address space (prlimit --as: 64 MiB for pellux-headless, 768 MiB for the
# window, whose Qt libraries map much more than they use), and reports the
# program's peak resident memory (/usr/bin/time's maximum RSS) beside that of
# a quiet run of the same length without a flood. Goals: no run exceeds its
# ceiling (the program would fail an allocation and end), and a flood costs
# no more than 16 MB of resident memory over the quiet run. That the
# calculator ran on: pellux-headless (--realtime) reports its emulated time;
# for the window the demo ROM's clock (gTime1024, in 1/1024 s) is read before
# and after the flood by a debugger that attaches right after the flooder
# went.
#
#   bash bench/gdb_flood.sh [SECONDS]      (build in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
seconds=${1:-60}
build=${PELLUX_BUILD_DIR:-build/release}
headless_ceiling=$((64 * 1024 * 1024))
window_ceiling=$((768 * 1024 * 1024))
allowed_kb=$((16 * 1024))

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target pellux pellux-headless pellux-gdb-flood demo_rom >/dev/null
rom=$repo/$build/run/ti92p.rom
flood=$repo/$build/bench/pellux-gdb-flood
clock_address=$(awk '$3 == "gTime1024" { print $1 }' "$build/run/demo.sym")

work=$(mktemp -d)
chmod 700 "$work"
pid=
cleanup() {
  set +e
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# The window's settings and sessions stay in the work folder.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen

port_from() {  # port_from FILE: the port the program said it listens on
  for _ in $(seq 100); do
    local port
    port=$(sed -n 's/.*\(waiting for the debugger on\|a debugger may attach on\) 127\.0\.0\.1:\([0-9]*\).*/\2/p' "$1")
    [ -n "$port" ] && { echo "$port"; return; }
    sleep 0.1
  done
  echo "no port in $1" >&2
  exit 1
}

peak_kb() { sed -n 's/^peak \([0-9]*\) KB$/\1/p' "$1"; }

run_headless() {  # run_headless MODE: quiet, noread or endless
  local mode=$1 err=$work/headless-$1.err out=$work/headless-$1.out
  /usr/bin/time -f 'peak %M KB' prlimit --as=$headless_ceiling \
    "$build/tools/pellux-headless" "$rom" --realtime --gdb 127.0.0.1:0 >"$out" 2>"$err" &
  pid=$!
  local port
  port=$(port_from "$err")
  "$flood" "$port" "$mode" "$seconds" | sed 's/^/  /'
  wait "$pid" || true
  pid=
  grep -q "emulated time" "$out" || { echo "pellux-headless did not end normally:"; cat "$err"; exit 1; }
  echo "pellux-headless $mode: peak $(peak_kb "$err") KB; $(head -n1 "$out" | sed 's/.*: //')"
}

run_window() {  # run_window MODE
  local mode=$1 err=$work/window-$1.err
  /usr/bin/time -f 'peak %M KB' prlimit --as=$window_ceiling \
    "$build/host/pellux" --fresh --gdb 127.0.0.1:0 "$rom" 2>"$err" &
  pid=$!
  local port
  port=$(port_from "$err")
  "$flood" "$port" look "$clock_address" | sed 's/^/  before: /'
  if [ "$mode" = quiet ]; then
    sleep "$seconds"
  else
    "$flood" "$port" "$mode" "$seconds" | sed 's/^/  /'
  fi
  "$flood" "$port" look "$clock_address" | sed 's/^/  after:  /'
  kill "$(pgrep -P "$pid")"  # the window itself, under time and prlimit
  wait "$pid" || true
  pid=
  echo "pellux $mode: peak $(peak_kb "$err") KB"
}

check() {  # check WHAT QUIET_FILE FLOOD_FILE
  local quiet flooded
  quiet=$(peak_kb "$2")
  flooded=$(peak_kb "$3")
  if [ -z "$flooded" ] || [ $((flooded - quiet)) -gt $allowed_kb ]; then
    echo "FAIL $1: peak ${flooded:-?} KB against ${quiet} KB quiet"
    status=1
  else
    echo "ok   $1: peak $flooded KB, $((flooded - quiet)) KB over the quiet run's $quiet KB"
  fi
}

status=0
for mode in quiet noread endless; do run_headless "$mode"; done
for mode in quiet noread endless; do run_window "$mode"; done
for mode in noread endless; do
  check "pellux-headless $mode" "$work/headless-quiet.err" "$work/headless-$mode.err"
  check "pellux $mode" "$work/window-quiet.err" "$work/window-$mode.err"
done
exit $status
