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
    : options_(std::move(options)),
      clock_(options_.clock ? options_.clock : &steadyClock_),
      speedClock_(*clock_),
      settings_(options_.settingsFile) {
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
    romImage_ = ReadRomFile(options_.romPath).bytes;
    calc_ = std::make_unique<Calculator>(romImage_);
    driver_ = std::make_unique<Driver>(*calc_, speedClock_);
    if (!window_->Attach(driver_.get())) throw InitErr(kStrOutOfResources);
  } catch (const ErrMsg& error) {
    options_.showError(error, window_.get());
    window_.reset();
    driver_.reset();
    calc_.reset();
    return false;
  }
  ConnectMenus();
  ApplySettings();
  return true;
}

void Shell::Pass() {
  const auto now = std::chrono::steady_clock::now();
  if (paused_) {
    // The machine stands; the loop only waits and looks at the host's events.
    clock_->WaitIdle();
    lastPump_ = now;
    PumpHostInput();
    UpdateStatus();
    return;
  }
  const bool wasRunning = driver_->mode() == Driver::Mode::Running;
  const RunOutcome outcome = driver_->Pass();
  window_->ShowNewFrame();
  UpdateStatus();
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
  // Paused, the keys wait in their queue until the machine runs again.
  if (window_->CloseRequested() || paused_) return false;
  return window_->HandleInput();
}

int Shell::Run() {
  while (!window_->CloseRequested()) Pass();
  SaveSettings();
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
