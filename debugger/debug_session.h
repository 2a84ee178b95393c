// What the debugger keeps from one stop to the next: the program's symbols,
// the registers as they stood when the machine last ran on (to mark what
// changed), and why the machine stopped this time.
#pragma once

#include <optional>
#include <string>

#include "cpu/cpu_state.h"
#include "debugger/stepping.h"
#include "debugger/symbols.h"

namespace pellux {

struct DebugSession {
  SymbolTable symbols;
  // Where the symbols came from, or why there are none, for the dialog.
  std::string symbolsNote;
  // The registers when the machine last left the debugger.
  std::optional<CpuState> lastStop;
  DebugStop reason;
};

}  // namespace pellux
