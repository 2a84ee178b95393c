#!/usr/bin/env bash
# gdb-multiarch against the window's gdb port (offscreen), with F11 pressed
# the moment gdb attaches, so that the Debug dialog is open while gdb reads
# the registers, steps an instruction, asks a monitor command and lets the
# machine run to a breakpoint: every answer must come while the dialog is up,
# in order, the dialog must follow gdb's step and close when gdb continues.
#
#   bash gdb_window_end_to_end.sh HOST ROM ELF WORK-DIR
#
# HOST is pellux-gdb-window-host (the window, pressing F11 for the test).
# Every wait is bounded, so a fault fails the test instead of hanging it.
set -uo pipefail
host=$1 rom=$2 elf=$3 work=$4
rm -rf "$work" && mkdir -p "$work" && chmod 700 "$work"
fail() { echo "gdb window end to end: $*" >&2; echo "--- gdb:" >&2; cat "$work/gdb.out" >&2; echo "--- window:" >&2; cat "$work/window.err" >&2; exit 1; }
. "$(dirname "$0")/gdb_test_lib.sh"

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work "$host" "$rom" "$elf" > "$work/window.out" 2> "$work/window.err" &
window=$!
trap 'kill $window 2>/dev/null' EXIT

waitfor "$work/window.err" "a debugger may attach on" || fail "the window never listened"
port=$(sed -n 's/.*a debugger may attach on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/window.err")

cat > "$work/commands.gdb" <<GDB
set pagination off
set confirm off
target remote 127.0.0.1:$port
info registers
print/x \$pc
stepi
print/x \$pc
monitor catch
break DrawSecond
continue
print/x \$pc
detach
GDB
run_gdb "$elf" $window "the window"

expect() {  # expect FILE PATTERN WHAT
  grep -Eq -- "$2" "$1" || fail "no $3 (/$2/)"
}
expect "$work/gdb.out" '^d0 +0x[0-9a-f]+' "d0 in info registers"
expect "$work/gdb.out" '^pc +0x[0-9a-f]+' "pc in info registers"
expect "$work/gdb.out" '^\$1 = 0x[0-9a-f]+$' "pc before the step"
expect "$work/gdb.out" '^\$2 = 0x[0-9a-f]+$' "pc after the step"
expect "$work/gdb.out" '^Caught: none$' "the monitor command's answer"
expect "$work/gdb.out" '^Breakpoint 1, DrawSecond ' "the breakpoint after continue"
expect "$work/gdb.out" 'Remote target\) detached' "detach"
# info registers and the first print agree: the replies are the requests'.
info_pc=$(sed -n 's/^pc  *\(0x[0-9a-f]*\).*/\1/p' "$work/gdb.out" | head -n1)
before=$(sed -n 's/^\$1 = \(0x[0-9a-f]*\)$/\1/p' "$work/gdb.out")
after=$(sed -n 's/^\$2 = \(0x[0-9a-f]*\)$/\1/p' "$work/gdb.out")
[ "$info_pc" = "$before" ] || fail "info registers said pc $info_pc, print said $before"
[ "$before" != "$after" ] || fail "stepi did not move the pc from $before"

# The window: F11 on attach, the dialog read-only on gdb's stop, then on the
# stop after gdb's step, closed by gdb's continue, and only then the detach.
hex6() { printf '%06x' "$1"; }
expect "$work/window.err" "^host: dialog shows: Stopped by gdb at $(hex6 "$before")( \(.*\))? \(Step off\)$" \
  "the dialog on gdb's stop"
expect "$work/window.err" "^host: dialog shows: Stopped by gdb at $(hex6 "$after")( \(.*\))? \(Step off\)$" \
  "the dialog on the stop after gdb's step"
order=$(grep -E '^(host: (F11|dialog|done)|pellux: debugger)' "$work/window.err" | sed 's/ at .*//; s/ from .*//')
expected=$(printf '%s\n' "pellux: debugger attached" "host: F11" "host: dialog shows: Stopped by gdb" \
  "host: dialog shows: Stopped by gdb" "host: dialog closed" "pellux: debugger detached" "host: done")
[ "$order" = "$expected" ] || fail "the window's events came as
$order
instead of
$expected"
echo "gdb window end to end: passed"
