#!/usr/bin/env bash
# gdb-multiarch against pellux-headless --gdb on the demo ROM, as a user
# debugs it: break on a C function, continue, backtrace, a C variable, step a
# line, finish, a watchpoint that fires, an interrupt, detach.
#
#   bash gdb_end_to_end.sh HEADLESS ROM ELF WORK-DIR
#
# The runner takes a free port itself (--gdb 127.0.0.1:0) and says which.
# Every wait is bounded, so a fault fails the test instead of hanging it.
set -uo pipefail
headless=$1 rom=$2 elf=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
fail() { echo "gdb end to end: $*" >&2; echo "--- gdb:" >&2; cat "$work/gdb.out" >&2; echo "--- runner:" >&2; cat "$work/runner.err" >&2; exit 1; }
. "$(dirname "$0")/gdb_test_lib.sh"

"$headless" "$rom" --gdb 127.0.0.1:0 > "$work/runner.out" 2> "$work/runner.err" &
runner=$!
trap 'kill $runner 2>/dev/null' EXIT

waitfor "$work/runner.err" "waiting for the debugger on" || fail "the runner never listened"
port=$(sed -n 's/.*waiting for the debugger on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/runner.err")

cat > "$work/commands.gdb" <<GDB
set pagination off
set confirm off
target remote 127.0.0.1:$port
break DrawSecond
continue
backtrace
print seconds
next
finish
delete
watch gTime1024
continue
delete
python
# Ctrl-C once the target runs again: gdb sends the interrupt as for a key.
def interrupt_once(event):
    gdb.events.cont.disconnect(interrupt_once)
    gdb.post_event(lambda: gdb.execute("interrupt"))
gdb.events.cont.connect(interrupt_once)
end
continue
print/x \$pc
detach
GDB
run_gdb "$elf" $runner "the runner"

expect() {  # expect PATTERN WHAT
  grep -Eq -- "$1" "$work/gdb.out" || fail "no $2 (/$1/)"
}
expect '^Breakpoint 1, DrawSecond \(seconds=1\) at .*screens\.c:[0-9]+' "stop at DrawSecond"
expect '^#1 .* in DoWork \(\) at .*main\.c:[0-9]+' "DoWork in the backtrace"
expect '^#2 .*main \(\) at .*main\.c:[0-9]+' "main in the backtrace"
expect '^\$1 = 1$' "value of the argument seconds"
expect '^0x[0-9a-f]+ in DoWork \(\) at .*main\.c:[0-9]+' "finish back in DoWork"
expect '^Hardware watchpoint 2: gTime1024' "watchpoint"
expect '^Old value = [0-9]+' "watchpoint's old value"
expect '^New value = [0-9]+' "watchpoint's new value"
expect 'received signal SIGINT' "stop on the interrupt"
expect '^\$2 = 0x[0-9a-f]+' "pc after the interrupt"
expect 'Remote target\) detached' "detach"
# The line after the breakpoint: next moved on from the line it stopped at.
stop_line=$(sed -n 's/^Breakpoint 1, DrawSecond .*:\([0-9]*\)$/\1/p' "$work/gdb.out")
grep -Eq "^$((stop_line + 1))[[:space:]]" "$work/gdb.out" || fail "next did not reach line $((stop_line + 1))"
grep -q "debugger detached" "$work/runner.err" || fail "the runner did not see the detach"
echo "gdb end to end: passed"
