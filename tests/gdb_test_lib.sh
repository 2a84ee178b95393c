# What the gdb end-to-end scripts share: a bounded wait for a line, and gdb
# run on the script's commands. The script sets $work and defines fail()
# before it sources this file.

waitfor() {  # waitfor FILE PATTERN: until the line appears, 60 s at most
  timeout 60 tail -n +1 -f "$1" | grep -q -m1 -- "$2"
  [ "${PIPESTATUS[1]}" = 0 ]  # tail ends on the broken pipe once grep has it
}

run_gdb() {  # run_gdb ELF PID WHAT: gdb on $work/commands.gdb, then PID (WHAT) must end well
  timeout 120 gdb-multiarch -batch -nx -x "$work/commands.gdb" "$1" < /dev/null > "$work/gdb.out" 2>&1 ||
    fail "gdb ended with status $?"
  timeout 30 tail --pid="$2" -f /dev/null || fail "$3 did not end after the detach"
  wait "$2" || fail "$3 ended with status $?"
}
