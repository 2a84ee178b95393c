#include "host/gdb_port.h"

#include <QThread>
#include <cstdio>

#include "debugger/stepping.h"
#include "host/debug_dialog.h"
#include "host/main_window.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "machine/driver.h"

namespace pellux {

namespace {

// How often the line is looked at while another event loop runs: often
// enough that gdb never notices, rarely enough to cost nothing.
constexpr int kInsideLoopMs = 2;
// Passes of a step that waits for an interrupt, per turn of the timer.
constexpr int kStepPassesPerTurn = 64;

void LogDebugger(const std::string& line) {
  std::fprintf(stderr, "pellux: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace

GdbPort::GdbPort(MainWindow& window, Driver& driver, std::unique_ptr<net::Listener> listener,
                 gdb::Server::Log log)
    : window_(window),
      driver_(driver),
      server_(driver.machine(), std::move(listener), std::move(log)),
      openWithoutGdb_(window.openDebugger) {
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { ServeInsideLoop(); });
  timer_.start(kInsideLoopMs);
  window_.debugDialogOpening = [this](DebugDialog& dialog) { Opening(dialog); };
  window_.openDebugger = [this, open = openWithoutGdb_] {
    StopForUser();
    if (open) open();
  };
}

GdbPort::~GdbPort() {
  window_.debugDialogOpening = nullptr;
  window_.openDebugger = openWithoutGdb_;
}

bool GdbPort::Holds() {
  const gdb::Stub* stub = server_.stub();
  return stub && stub->resume() == gdb::Resume::Halted;
}

void GdbPort::Serve(int waitMs) {
  if (serving_) return;
  serving_ = true;
  const bool wasHeld = Holds();
  server_.Poll(waitMs);
  serving_ = false;
  Settle(wasHeld);
}

void GdbPort::ServeInsideLoop() {
  // The main loop serves the line itself between its passes.
  if (serving_ || QThread::currentThread()->loopLevel() == 0) return;
  serving_ = true;
  const bool wasHeld = Holds();
  server_.Poll(0);
  if (wasHeld && !Holds() && released) released();
  // gdb's steps run here, since the main loop waits for the dialog; what
  // lets the machine run waits for the main loop.
  const CpuState before = driver_.machine().cpu;
  bool stepped = false;
  for (int pass = 0; pass < kStepPassesPerTurn && stub() && stub()->resume() == gdb::Resume::Step; ++pass) {
    gdb::Advance(*stub(), driver_, [this] { return driver_.Pass(); });
    stepped = true;
  }
  server_.Flush();
  serving_ = false;
  Settle(Holds());
  if (stepped && dialog_ && Holds()) dialog_->ShowStop(GdbStop(), before);
}

void GdbPort::Settle(bool wasHeld) {
  const bool held = Holds();
  const QString title = held ? QStringLiteral("Pellux - stopped by the debugger") : QStringLiteral("Pellux");
  if (window_.windowTitle() != title) window_.setWindowTitle(title);
  if (wasHeld && !held && released) released();
  if (held) ShowStatus(window_.statusLine());
  if (!dialog_) return;
  if (held && !dialog_->heldElsewhere()) {
    // gdb attached while the dialog had the machine: gdb has it now.
    ShowHeld(*dialog_);
    return;
  }
  if (!dialog_->heldElsewhere()) return;
  if (!server_.attached()) {
    // Detached: the dialog holds the machine now.
    dialog_->SetHeldElsewhere(false);
  } else if (stub()->resume() == gdb::Resume::Continue) {
    // gdb runs the machine: the stop the dialog showed is over.
    dialog_->reject();
  }
}

void GdbPort::StopForUser() {
  if (!server_.attached()) return;
  server_.Interrupt();
  window_.debugSession.reason = GdbStop();
}

void GdbPort::Opening(DebugDialog& dialog) {
  dialog_ = &dialog;
  if (Holds()) ShowHeld(dialog);
}

void GdbPort::ShowHeld(DebugDialog& dialog) {
  window_.debugSession.reason = GdbStop();
  dialog.SetHeldElsewhere(true);
  dialog.RefreshViews();
  ShowStatus(window_.statusLine());
}

void GdbPort::ShowStatus(StatusLine& status) {
  status.SetState(MachineState::StoppedByGdb,
                  QString::fromStdString(DescribeStop(GdbStop(), window_.debugSession.symbols)));
  status.SetSpeed(std::nullopt);
}

DebugStop GdbPort::GdbStop() const { return DebugStop{StopReason::Gdb, driver_.machine().cpu.pc}; }

// The window's side of it: the port opened, the user warned when other
// computers can reach it.
bool Shell::OpenGdbPort() {
  if (!options_.gdb) return true;
  Result<std::unique_ptr<net::Listener>> opened = net::Listener::Open(*options_.gdb);
  if (!opened.ok()) {
    LogDebugger(opened.message());
    return false;
  }
  std::unique_ptr<net::Listener> listener = std::move(opened).value();
  LogDebugger("a debugger may attach on " + listener->Address());
  if (!listener->loopback()) {
    const std::string warning = gdb::OpenPortWarning(listener->Address());
    LogDebugger("warning: " + warning);
    startNotes_.push_back("Warning: " + warning);
  }
  gdb_ = std::make_unique<GdbPort>(*window_, *driver_, std::move(listener), LogDebugger);
  // The time gdb held the machine is not the calculator's, as for Pause.
  gdb_->released = [this] {
    calc_->StartPacing(speedClock_);
    speedMeter_.Restart();
  };
  return true;
}

}  // namespace pellux
