# Writes the demo ROM's symbol table (nm, sorted by address) for the tests,
# which look up the ROM's routines and variables by name.
# Usage: cmake -DNM=... -DELF=... -DOUT=... -P write_symbols.cmake
execute_process(COMMAND ${NM} -n ${ELF} OUTPUT_FILE ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${ELF}")
endif()
