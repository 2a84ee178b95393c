# Runs a program and checks its exit status and that its standard error
# holds a message ("\n" in it stands for a line break).
# Usage: cmake -DPROGRAM=... "-DARGS=a;b" -DSTATUS=n "-DMESSAGE=text" -P expect_message.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\\n" "\n" wanted "${MESSAGE}")
string(FIND "${err}" "${wanted}" at)
if(NOT result EQUAL STATUS OR at EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}\n  exit ${result}, wanted ${STATUS}; wanted the message\n  ${wanted}\n"
                      "standard error:\n${err}")
endif()
