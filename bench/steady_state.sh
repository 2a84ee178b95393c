#!/usr/bin/env bash
# Checks that running longer costs no heap allocation and no system call:
#
#   bash bench/steady_state.sh [--build DIR]
#
# Runs pellux-bench on the workload for 100k and for 1M instructions, on the
# flat memory and on the calculator (--machine, through the run slices), and
# compares the heap allocations counted by valgrind's memcheck and the system
# calls counted by strace. Equal counts mean that nothing per instruction or
# per run slice allocates or enters the kernel. Exits 1 when a count grows.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
case ${1:-} in
  --build) build=$2 ;;
  -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
  "") ;;
  *) echo "steady_state.sh: unknown argument '$1'" >&2; exit 2 ;;
esac
for tool in valgrind strace; do
  command -v $tool >/dev/null || { echo "steady_state.sh: $tool is not installed" >&2; exit 1; }
done
bench=$build/bench/pellux-bench
[ -x "$bench" ] || { echo "steady_state.sh: $bench is missing: build first" >&2; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# pellux-bench exits with 1 when the budget ends the run, as it does here.
allocations() {  # pellux-bench arguments...
  valgrind --tool=memcheck "$bench" "$@" >/dev/null 2>"$out/memcheck" || true
  sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p' "$out/memcheck" | tr -d ,
}
system_calls() {  # pellux-bench arguments...
  strace -f -c -o "$out/strace" "$bench" "$@" >/dev/null 2>&1 || true
  awk '$NF == "total" { print $4 }' "$out/strace"  # % time, seconds, usecs/call, calls
}

status=0
for mode in flat machine; do
  if [ $mode = flat ]; then image=("$build/bench/workload.bin"); else image=(--machine "$build/bench/workload-rom.bin"); fi
  a1=$(allocations --max 100k "${image[@]}")
  a2=$(allocations --max 1M "${image[@]}")
  s1=$(system_calls --max 100k "${image[@]}")
  s2=$(system_calls --max 1M "${image[@]}")
  verdict=steady
  if [ "$a1" != "$a2" ] || [ "$s1" != "$s2" ]; then verdict=GROWS; status=1; fi
  printf '%-8s heap allocations %s / %s, system calls %s / %s (100k / 1M instructions): %s\n' \
    "$mode:" "$a1" "$a2" "$s1" "$s2" "$verdict"
done
exit $status
