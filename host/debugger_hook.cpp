#include "host/debugger_hook.h"

#include "debugger/calculator_target.h"
#include "debugger/debug_session.h"
#include "host/debug_dialog.h"

namespace pellux {

void OpenDebugger(QWidget* owner, Calculator& calc, bool& breakOnKeypress, DebugSession& session,
                  const std::function<void(DebugDialog&)>& opening) {
  bool heldElsewhere = false;
  {
    DebugDialog dialog(owner, calc, breakOnKeypress, &session);
    if (opening) opening(dialog);
    dialog.exec();
    // Go, Esc and the close box all end it here, and all keep the check box.
    breakOnKeypress = dialog.BreakOnKeypress();
    heldElsewhere = dialog.heldElsewhere();
  }
  // gdb, which holds or runs the machine, steps off its own breakpoints.
  if (heldElsewhere) return;
  CalculatorTarget target(calc);
  StepOffBreakpoint(target);
}

}  // namespace pellux
