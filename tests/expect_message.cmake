# Runs a program and checks its exit status, that its standard error holds a
# message and its standard output does not ("\n" in it stands for a line
# break), and, when OUTPUT is given, that the standard output matches that
# regular expression.
# Usage: cmake -DPROGRAM=... "-DARGS=a;b" -DSTATUS=n "-DMESSAGE=text" ["-DOUTPUT=regex"] -P expect_message.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\\n" "\n" wanted "${MESSAGE}")
string(FIND "${err}" "${wanted}" at)
string(FIND "${out}" "${wanted}" atOut)
set(outputMatches TRUE)
if(DEFINED OUTPUT)
  string(REPLACE "\\n" "\n" outputPattern "${OUTPUT}")
  if(NOT out MATCHES "${outputPattern}")
    set(outputMatches FALSE)
  endif()
endif()
if(NOT result EQUAL STATUS OR at EQUAL -1 OR NOT atOut EQUAL -1 OR NOT outputMatches)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}\n  exit ${result}, wanted ${STATUS}; wanted the message on standard error only\n"
                      "  ${wanted}\n"
                      "standard error:\n${err}\nstandard output:\n${out}")
endif()
