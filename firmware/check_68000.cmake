# Fails when the demo ROM holds an instruction the plain 68000 lacks.
# Usage: cmake -DOBJDUMP=... -DELF=... -P check_68000.cmake
execute_process(
  COMMAND ${OBJDUMP} -d -m m68k:68000 -j .text -j .ramtext ${ELF}
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${ELF}")
endif()
string(REGEX MATCHALL "[^\n]*<[A-Za-z_][A-Za-z0-9_]*>:" functions "${listing}")
list(LENGTH functions count)
if(count LESS 10)
  message(FATAL_ERROR "only ${count} functions disassembled from ${ELF}: is it the demo ROM?")
endif()
# objdump restricted to the 68000 shows any other opcode as raw data.
string(REGEX MATCHALL "[^\n]*\t\\.(short|long|byte)[^\n]*" foreign "${listing}")
if(foreign)
  string(REPLACE ";" "\n" foreign "${foreign}")
  message(FATAL_ERROR "instructions that are not 68000 ones:\n${foreign}")
endif()
message(STATUS "${count} functions, every instruction a 68000 one")
