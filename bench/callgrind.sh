#!/usr/bin/env bash
# Host instructions per emulated instruction, counted by callgrind.
#
#   bash bench/callgrind.sh [--build DIR] [--short N] [--long N] [--keep DIR] [-- VALGRIND-OPTIONS...]
#
# Runs pellux-bench on the workload twice under valgrind --tool=callgrind, for
# N instructions and for a longer run, and divides the difference of the
# host instruction counts (Ir) by the difference of the emulated counts, so
# that start-up, loading and reporting cancel out. Does this for the flat
# memory, for the calculator running the ROM image from flash (--machine) and
# for the calculator running the flat image from its RAM (--machine-ram), and
# prints the ratios to the flat figure.
# Both lengths must end before the workload does (its default run is about
# 170 million instructions). --keep DIR keeps the callgrind files for
# callgrind_annotate; options after -- go to valgrind (e.g. --dump-instr=yes).
# With --branch-sim=yes it also prints the indirect branches the simulated
# predictor missed (Bim) per emulated instruction, by the same difference.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
short=2000000
long=10000000
keep=
extra=()

usage() {
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
  exit "$1"
}

while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --short) short=$2; shift 2 ;;
    --long) long=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) usage 0 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "callgrind.sh: unknown argument '$1'" >&2; usage 2 ;;
  esac
done

case $short$long in *[!0-9]*) echo "callgrind.sh: --short and --long take plain numbers" >&2; exit 2 ;; esac
if [ "$short" -le 0 ] || [ "$long" -le "$short" ]; then
  echo "callgrind.sh: need 0 < --short < --long" >&2
  exit 2
fi
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is not installed (apt-get install valgrind)" >&2; exit 1; }

bench=$build/bench/pellux-bench
flat=$build/bench/workload.bin
rom=$build/bench/workload-rom.bin
for f in "$bench" "$flat" "$rom"; do
  [ -e "$f" ] || { echo "callgrind.sh: $f is missing: build first (ninja -C $build)" >&2; exit 1; }
done
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[ "$type" = Release ] || echo "callgrind.sh: warning: $build is a '$type' build; quote figures from Release" >&2

out=$keep
if [ -z "$out" ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
fi
mkdir -p "$out"

# Prints "IR BIM INSTRUCTIONS" for one run; BIM is 0 without --branch-sim=yes.
measure() {  # name, max, pellux-bench arguments...
  local name=$1 max=$2
  shift 2
  local file=$out/callgrind.$name.$max
  local log=$out/bench.$name.$max
  set +e
  valgrind --tool=callgrind --callgrind-out-file="$file" "${extra[@]}" \
    "$bench" --max "$max" "$@" >"$log" 2>"$out/valgrind.$name.$max"
  local status=$?
  set -e
  if [ "$status" -ne 1 ]; then
    # 0: the workload stopped inside the run, so the two lengths would not compare.
    echo "callgrind.sh: the $name run of $max instructions ended with status $status:" >&2
    cat "$log" "$out/valgrind.$name.$max" >&2
    exit 1
  fi
  local counts instructions
  # The summary's counts in the order of the events line (Ir first).
  counts=$(awk '/^events:/ { for (i = 2; i <= NF; ++i) if ($i == "Bim") bim = i }
                /^summary:/ { print $2, (bim ? $bim : 0) }' "$file")
  instructions=$(sed -n 's/^instructions: *//p' "$log")
  echo "$counts $instructions"
}

per_instruction() {  # name, pellux-bench arguments...
  local name=$1
  shift
  read -r ir1 bim1 n1 <<<"$(measure "$name" "$short" "$@")"
  read -r ir2 bim2 n2 <<<"$(measure "$name" "$long" "$@")"
  awk -v name="$name" -v ir1="$ir1" -v ir2="$ir2" -v bim1="$bim1" -v bim2="$bim2" -v n1="$n1" -v n2="$n2" 'BEGIN {
    printf "%-10s %6.2f host instructions per emulated instruction (Ir %d for %d, %d for %d)\n",
      name ":", (ir2 - ir1) / (n2 - n1), ir1, n1, ir2, n2
    if (bim2 > 0)
      printf "%-10s %6.3f indirect mispredicts per emulated instruction (Bim %d, %d)\n",
        name ":", (bim2 - bim1) / (n2 - n1), bim1, bim2
    printf "%.4f\n", (ir2 - ir1) / (n2 - n1) > "/dev/stderr"
  }' 2>"$out/ratio.$name"
}

per_instruction flat "$flat"
per_instruction calculator --machine "$rom"
per_instruction ram-code --machine-ram "$flat"
awk -v f="$(cat "$out/ratio.flat")" -v c="$(cat "$out/ratio.calculator")" -v r="$(cat "$out/ratio.ram-code")" \
  'BEGIN { printf "calculator / flat: %.2f (code in flash), %.2f (code in RAM)\n", c / f, r / f }'
[ -n "$keep" ] && echo "callgrind files kept in $keep (callgrind_annotate $keep/callgrind.flat.$long)"
exit 0
