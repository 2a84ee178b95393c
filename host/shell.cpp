#include "host/shell.h"

#include <QCoreApplication>

#include "host/main_window.h"
#include "host/show_error.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/rom_file.h"

namespace pellux {

namespace {

// While the machine runs, the host's events are looked at this often rather
// than after every slice: a slice takes some tens of microseconds and a look
// at Qt's queues about a microsecond and a half (measured under X11 and
// offscreen), several percent of the machine's speed if paid every slice.
constexpr auto kRunningPumpInterval = std::chrono::milliseconds(1);

}  // namespace

Shell::Shell(ShellOptions options)
    : options_(std::move(options)), clock_(options_.clock ? options_.clock : &steadyClock_) {
  if (!options_.showError) options_.showError = ShowError;
}

Shell::~Shell() {
  window_.reset();
  driver_.reset();
  calc_.reset();
}

bool Shell::Create() {
  window_ = std::make_unique<MainWindow>();
  try {
    calc_ = std::make_unique<Calculator>(ReadRomFile(options_.romPath).bytes);
    driver_ = std::make_unique<Driver>(*calc_, *clock_);
    if (!window_->Attach(driver_.get())) throw InitErr(kStrOutOfResources);
  } catch (const ErrMsg& error) {
    options_.showError(error, window_.get());
    window_.reset();
    driver_.reset();
    calc_.reset();
    return false;
  }
  return true;
}

void Shell::Pass() {
  const auto now = std::chrono::steady_clock::now();
  const bool wasRunning = driver_->mode() == Driver::Mode::Running;
  const RunOutcome outcome = driver_->Pass();
  window_->ShowNewFrame();
  if (outcome == RunOutcome::Breakpoint) {
    window_->openDebugger();
  } else if (wasRunning && outcome == RunOutcome::Running && now - lastPump_ < kRunningPumpInterval) {
    return;
  }
  lastPump_ = now;
  if (PumpHostInput()) driver_->Wake();
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
  driver_.reset();
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
