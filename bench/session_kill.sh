#!/usr/bin/env bash
# kill -9 against the window as it saves its session.
#
# Starts pellux (offscreen) on the demo ROM padded to 2 MB with varied bytes
# (so that each save writes about 2 MB and takes a while), with the session
# saved every INTERVAL_MS, and kills it with SIGKILL at a random moment:
# one run in four during the start and the first save, the others at a
# random point of the saves that follow. After each kill it checks that the
# session loads (pellux-headless --load-state) and notes the temporary files
# the kill left (the kill then landed inside a save); the next start must
# remove those. A last run ends with SIGTERM: exit status 0, a session that
# loads, no temporary file at all.
#
#   bash bench/session_kill.sh [RUNS [INTERVAL_MS]]     (default 200 runs, 50 ms)
#
# Prints the runs, the kills that landed during a save, the sessions that did
# not load (must be 0), the temporary files a start left (must be 0), runs
# that ended before the kill (a start refused for a lock left behind, a
# crash; must be 0), and the oldest session found at a
# kill (the work a kill lost, at most about one interval and one save).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
runs=${1:-200}
interval=${2:-50}
build=${PELLUX_BUILD_DIR:-build/release}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target pellux pellux-headless >/dev/null
pellux=$repo/$build/host/pellux
headless=$repo/$build/tools/pellux-headless
demo=$repo/$build/run/ti92p.rom
[ -f "$demo" ] || { echo "no demo ROM at $demo (the m68k cross compiler builds it)" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  set +e
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

rom=$work/ti92p.rom
cp "$demo" "$rom"
head -c $((2 * 1024 * 1024 - $(stat -c %s "$demo"))) /dev/urandom >>"$rom"
sessions=$work/data/Pellux/Pellux/sessions

now_ns() { date +%s%N; }
session_file() { ls "$sessions"/*.state 2>/dev/null | head -n1 || true; }
temporaries() { ls "$sessions" 2>/dev/null | grep -F '.state.tmp-' || true; }

start_pellux() {
  env XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
    PELLUX_SESSION_SAVE_MS="$interval" "$pellux" "$rom" >/dev/null 2>>"$work/stderr" &
  pid=$!
}

# Waits until none of the named files is left (the start removes them);
# answers how many stayed after 10 seconds.
wait_gone() {
  local left
  for _ in $(seq 1000); do
    left=0
    for name in "$@"; do
      if [ -e "$sessions/$name" ]; then left=$((left + 1)); fi
    done
    if [ "$left" -eq 0 ]; then break; fi
    sleep 0.01
  done
  echo "$left"
}

during_save=0
broken=0
leftover=0
ended=0
no_session=0
oldest_ms=0
previous_left=()

for run in $(seq "$runs"); do
  started=$(now_ns)
  start_pellux
  if [ ${#previous_left[@]} -gt 0 ]; then
    leftover=$((leftover + $(wait_gone "${previous_left[@]}")))
  fi
  measured=0
  if [ $((RANDOM % 4)) -eq 0 ]; then
    # During the start-up and the first save.
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
  else
    # Once this run has saved, somewhere in the saves that follow.
    for _ in $(seq 500); do
      file=$(session_file)
      if [ -n "$file" ] && [ "$(date -r "$file" +%s%N)" -gt "$started" ]; then break; fi
      if ! kill -0 "$pid" 2>/dev/null; then break; fi
      sleep 0.01
    done
    sleep "0.$(printf '%03d' $((RANDOM % (3 * interval))))"
    measured=1
  fi
  kill -9 "$pid" 2>/dev/null || true
  status=0
  wait "$pid" 2>/dev/null || status=$?
  killed=$(now_ns)
  if [ "$status" -ne 137 ]; then
    ended=$((ended + 1))  # it ended by itself (a start refused, a crash): see the stderr file
    echo "run $run: pellux ended with status $status" >&2
  fi
  pid=
  mapfile -t previous_left < <(temporaries)
  if [ ${#previous_left[@]} -gt 0 ]; then during_save=$((during_save + 1)); fi
  file=$(session_file)
  if [ -z "$file" ]; then
    no_session=$((no_session + 1))
    continue
  fi
  if ! "$headless" "$rom" --load-state "$file" --seconds 0 >/dev/null 2>>"$work/load-errors"; then
    broken=$((broken + 1))
    cp "$file" "$repo/session-kill-broken-$run.state"
  fi
  if [ "$measured" -eq 1 ]; then
    age=$(((killed - $(date -r "$file" +%s%N)) / 1000000))
    if [ "$age" -gt "$oldest_ms" ]; then oldest_ms=$age; fi
  fi
done

# The last run ends the normal way: SIGTERM, which saves.
start_pellux
if [ ${#previous_left[@]} -gt 0 ]; then
  leftover=$((leftover + $(wait_gone "${previous_left[@]}")))
fi
sleep 1
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
final_left=$(temporaries | wc -l)
final_loads=yes
"$headless" "$rom" --load-state "$(session_file)" --seconds 0 >/dev/null 2>&1 || final_loads=no

echo "runs: $runs (sessions saved every $interval ms, about $(($(stat -c %s "$(session_file)") / 1024)) KB each)"
echo "kills during a save (temporary file left): $during_save"
echo "kills before the first session existed: $no_session"
echo "sessions that did not load: $broken"
echo "temporary files the next start left: $leftover"
echo "runs that ended before the kill: $ended"
echo "oldest session at a kill after a save: $oldest_ms ms"
echo "SIGTERM at the end: exit status $status, session loads: $final_loads, temporary files: $final_left"
[ "$broken" -eq 0 ] && [ "$leftover" -eq 0 ] && [ "$ended" -eq 0 ] && [ "$status" -eq 0 ] &&
  [ "$final_loads" = yes ] && [ "$final_left" -eq 0 ]
