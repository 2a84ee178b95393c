// The way into the debugger from the window: F11, the context menu, a
// breakpoint reached in a run slice, and a key press with break-on-keypress.
#pragma once

#include <cstdint>
#include <functional>

class QWidget;

namespace pellux {

class Calculator;
class DebugDialog;
struct DebugSession;

// Runs the Debug dialog modally over owner and returns when the user chooses
// Go. breakOnKeypress is the window's flag, which the dialog shows and sets.
// `opening` sees the dialog before it runs (gdb's port, which may hold the
// machine). The machine then runs on: from a breakpoint, its instruction
// runs first, so that Go does not stop on it again at once (unless another
// debugger held the machine when the dialog closed).
void OpenDebugger(QWidget* owner, Calculator& calc, bool& breakOnKeypress, DebugSession& session,
                  const std::function<void(DebugDialog&)>& opening = {});

}  // namespace pellux
