#!/usr/bin/env bash
# Checks in the disassembly that every threaded handler passes control to the
# next one by a jump, not a call, so that a chain keeps one stack frame.
#
#   bash bench/tail_calls.sh [--build DIR]
#
# Reads the core objects of an optimized build (flat_core*.cpp.o,
# calculator_core*.cpp.o and watched_core*.cpp.o: each core's run loop and
# the parts of its dispatch) with objdump -dr. In each Threaded<...> function,
# the first branch after the load from the dispatch table must be an
# indirect jmp. Prints the count per object and the names of the first
# handlers that call instead; exits 1 if there is one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "tail_calls.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
command -v objdump >/dev/null || { echo "tail_calls.sh: objdump is not installed (binutils)" >&2; exit 1; }

status=0
for core in flat_core calculator_core watched_core; do
  name=$core*.cpp.o
  mapfile -t objects < <(find "$build" -name "$name" | sort)
  [ ${#objects[@]} -gt 0 ] || { echo "tail_calls.sh: $name not found under $build: build first" >&2; exit 1; }
  objdump -dr --no-show-raw-insn -C "${objects[@]}" | awk -v object="$name" '
    function finish() {
      if (handler == "") return
      ++handlers
      if (verdict == "jump") ++jumps
      else if (++bad <= 10) print "  " verdict ": " handler
    }
    # A handler'"'"'s cold part, split off by the compiler, is no handler of its own.
    /^[0-9a-f]+ <.*pellux::Threaded<.*\[clone \.cold\]>:$/ { finish(); handler = ""; next }
    /^[0-9a-f]+ <.*pellux::Threaded</ {
      finish()
      handler = $0; sub(/^[0-9a-f]+ </, "", handler); sub(/>:$/, "", handler)
      seen = 0; verdict = "no dispatch"
      next
    }
    /^[0-9a-f]+ </ { finish(); handler = ""; next }
    handler == "" { next }
    # The table, named, or as .bss where its machine type is file-local.
    /R_X86_64_PC32\t(.*DispatchStorage|\.bss)/ { seen = 1; next }
    seen == 1 && /\t(jmp|call|ret)/ {
      verdict = ($0 ~ /\tjmp +\*/) ? "jump" : "call"
      seen = 2
    }
    END {
      finish()
      printf "%s: %d threaded handlers, %d end in an indirect jump\n", object, handlers, jumps
      exit bad > 0
    }' || status=1
done
exit $status
