#include "host/shell.h"

#include <QCoreApplication>
#include <thread>

#include "debugger/symbols.h"
#include "host/main_window.h"
#include "host/show_error.h"
#include "machine/calculator.h"
#include "machine/errors.h"

namespace pellux {

namespace {

// How long an idle pass sleeps before it charges the time that passed.
constexpr auto kIdleSleep = std::chrono::milliseconds(3);
// While the machine runs, the host's events are looked at this often rather
// than after every slice: a slice takes some tens of microseconds and a look
// at Qt's queues about a microsecond and a half (measured under X11 and
// offscreen), several percent of the machine's speed if paid every slice.
constexpr auto kRunningPumpInterval = std::chrono::milliseconds(1);

}  // namespace

Shell::Shell(ShellOptions options) : options_(std::move(options)) {
  if (!options_.showError) options_.showError = ShowError;
}

Shell::~Shell() {
  window_.reset();
  calc_.reset();
}

bool Shell::Create() {
  window_ = std::make_unique<MainWindow>();
  try {
    calc_ = std::make_unique<Calculator>(options_.romPath, *window_, clock_);
  } catch (const ErrMsg& error) {
    options_.showError(error, window_.get());
    window_.reset();
    return false;
  }
  window_->Attach(calc_.get());
  LoadSymbols();
  mode_ = Mode::Running;
  return true;
}

void Shell::LoadSymbols() {
  DebugSession& session = window_->debugSession;
  std::optional<std::filesystem::path> path = options_.symbolsPath;
  if (!path) path = FindSymbolsBeside(options_.romPath);
  if (!path) {
    session.symbolsNote = "No symbols: no .elf or .sym file beside " + options_.romPath.string();
    return;
  }
  SymbolLoad load = LoadSymbolFile(*path);
  if (!load.error.empty()) {
    // The emulator runs on without names; the dialog says why.
    session.symbolsNote = "No symbols: " + load.error;
    return;
  }
  session.symbols = std::move(load.table);
  session.symbolsNote = "Symbols from " + path->string();
}

void Shell::Pass() {
  const auto now = std::chrono::steady_clock::now();
  if (mode_ == Mode::Running) {
    const int result = calc_->RunSlice();
    if (result == 1) {
      mode_ = Mode::Idle;
    } else if (result == 2) {
      window_->BreakIn(StopKind::Breakpoint);
    } else if (now - lastPump_ < kRunningPumpInterval) {
      return;
    }
  } else {
    std::this_thread::sleep_for(kIdleSleep);
    // Awake after the last burst: run at full speed. A breakpoint: the next
    // run slice stops on it before its first instruction and opens the
    // debugger. Asleep: stay idle.
    if (calc_->IdleCatchUp() != 1) mode_ = Mode::Running;
  }
  lastPump_ = now;
  if (PumpHostInput()) mode_ = Mode::Running;
}

bool Shell::PumpHostInput() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Without exec() nothing else deletes the objects that deleteLater() left.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (window_->CloseRequested()) return false;
  return window_->HandleInput();
}

int Shell::Run() {
  while (!window_->CloseRequested()) Pass();
  window_.reset();
  calc_.reset();
  return 0;
}

int RunPellux(ShellOptions options) {
  Shell shell(std::move(options));
  if (!shell.Create()) return 1;
  shell.window()->show();
  shell.window()->activateWindow();
  return shell.Run();
}

}  // namespace pellux
