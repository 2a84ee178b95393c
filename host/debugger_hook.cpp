#include "host/debugger_hook.h"

#include "debugger/calculator_target.h"
#include "debugger/debug_session.h"
#include "host/debug_dialog.h"

namespace pellux {

void OpenDebugger(QWidget* owner, Calculator& calc, std::uint32_t& breakOnKeypress, DebugSession& session) {
  {
    DebugDialog dialog(owner, calc, breakOnKeypress != 0, &session);
    dialog.exec();
    // Go, Esc and the close box all end it here, and all keep the check box.
    breakOnKeypress = dialog.BreakOnKeypress() ? 1 : 0;
  }
  CalculatorTarget target(calc);
  StepOffBreakpoint(target);
}

}  // namespace pellux
