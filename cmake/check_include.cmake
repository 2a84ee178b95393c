# Compiles a file that holds one include, with the include path a layer's
# own sources are compiled with, and checks the answer: the header is found
# (ALLOWED=1), or the include fails because that layer cannot see the file.
# Usage: cmake -DCOMPILER=c++ -DINCLUDES=file -DHEADER=host/shell.h -DALLOWED=0 -DWORK=dir -P check_include.cmake
# INCLUDES names a file holding the include directories, separated by ';'.
file(READ ${INCLUDES} directories)
string(STRIP "${directories}" directories)
set(flags)
foreach(directory IN LISTS directories)
  list(APPEND flags -I${directory})
endforeach()
string(MAKE_C_IDENTIFIER "${HEADER}" name)
set(probe ${WORK}/${name}.cpp)
file(WRITE ${probe} "#include \"${HEADER}\"\n")
execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${flags} ${probe}
                RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
if(ALLOWED)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${HEADER} should be seen with ${INCLUDES}, but:\n${errors}")
  endif()
else()
  # GCC: "HEADER: No such file or directory"; clang: "'HEADER' file not found".
  string(REPLACE "." "\\." pattern "${HEADER}")
  if(result EQUAL 0 OR NOT errors MATCHES "${pattern}'?(: No such file or directory| file not found)")
    message(FATAL_ERROR "${HEADER} should not be seen with ${INCLUDES}; exit ${result}:\n${errors}")
  endif()
  message(STATUS "refused as it should be:\n${errors}")
endif()
