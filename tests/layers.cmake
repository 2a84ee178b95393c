# The layers the build enforces (cmake/layers.cmake): a few includes that
# break them must fail for want of the file, and a few that the layers may
# make must compile, each with the include path the library's own sources
# are compiled with. Where the layers are not checked (no symbolic links in
# the build tree) the tests are left out.
get_property(pellux_layers_unchecked GLOBAL PROPERTY PELLUX_LAYERS_UNCHECKED)
if(pellux_layers_unchecked OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

set(layer_work ${CMAKE_CURRENT_BINARY_DIR}/layers)
set(layer_libraries)
# library|header|1 when the library may include it, 0 when it may not
set(layer_cases
  "pellux_machine|host/shell.h|0"
  "pellux_machine|debugger/stepping.h|0"
  "pellux_machine|link/variable_file.h|0"
  "pellux_machine|io/files.h|1"
  "pellux_machine|cpu/cpu_state.h|1"
  "pellux_flat_core|machine/calculator.h|0"
  "pellux_flat_core|io/files.h|0"
  "pellux_io|machine/calculator.h|0"
  "pellux_link|debugger/disassembler.h|0"
  "pellux_link|machine/keys.h|1"
  "pellux_debugger|link/variable_file.h|0"
  "pellux_debugger|gdbserver/gdb_server.h|0"
  "pellux_debugger|machine/clock.h|1"
  "pellux_linkserver|gdbserver/gdb_server.h|0"
  "pellux_linkserver|debugger/gdb_stub.h|0"
  "pellux_gdbserver|linkserver/socket_link.h|0"
  "pellux_headless|host/shell.h|0"
  "pellux_headless|linkserver/link_wire.h|1"
)
foreach(layer_case IN LISTS layer_cases)
  string(REPLACE "|" ";" fields "${layer_case}")
  list(GET fields 0 library)
  list(GET fields 1 header)
  list(GET fields 2 allowed)
  set(includes ${layer_work}/${library}/includes.txt)
  if(NOT library IN_LIST layer_libraries)
    list(APPEND layer_libraries ${library})
    file(GENERATE OUTPUT ${includes} CONTENT "$<TARGET_PROPERTY:${library},INCLUDE_DIRECTORIES>")
  endif()
  if(allowed)
    set(verb sees)
  else()
    set(verb refuses)
  endif()
  add_test(NAME layers.${library}_${verb}_${header}
           COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER} -DINCLUDES=${includes} -DHEADER=${header}
                   -DALLOWED=${allowed} -DWORK=${layer_work}/${library} -P ${PROJECT_SOURCE_DIR}/cmake/check_include.cmake)
endforeach()
