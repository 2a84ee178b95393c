#include "host/shell.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>

#include "host/main_window.h"
#include "host/show_error.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/rom_file.h"
#include "host/session_store.h"

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
    RomFile rom = ReadRomFile(options_.romPath);
    for (const std::string& warning : rom.warnings) startNotes_.push_back(options_.romPath.string() + ": " + warning);
    romIdentity_ = IdentifyRom(rom.bytes);
    SessionStore::Resumed resumed;
    if (!options_.sessionFolder.empty() && !options_.fresh) {
      resumed = SessionStore(options_.sessionFolder).Resume(romIdentity_, speedClock_);
      if (!resumed.message.empty()) startNotes_.push_back(resumed.message);
    }
    if (resumed.machine) {
      // Switched on again where it was, with its pending part of a tick.
      calc_ = std::move(resumed.machine);
      driver_ = std::make_unique<Driver>(*calc_, speedClock_, resumed.mode, Driver::ClockStart::Kept);
    } else {
      calc_ = std::make_unique<Calculator>(rom.bytes);
      driver_ = std::make_unique<Driver>(*calc_, speedClock_);
    }
    romImage_ = std::move(rom.bytes);
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

std::string Shell::SaveSession() {
  if (options_.sessionFolder.empty() || !calc_) return {};
  return SessionStore(options_.sessionFolder).Save(*calc_, romIdentity_, speedClock_, driver_->mode());
}

int Shell::Run() {
  while (!window_->CloseRequested()) Pass();
  SaveSettings();
  // Switched off: the calculator keeps its memory for the next start.
  if (const std::string problem = SaveSession(); !problem.empty()) {
    std::fprintf(stderr, "pellux: the session could not be saved: %s\n", problem.c_str());
  }
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
  if (!shell.startNotes().empty()) {
    QString text;
    for (const std::string& note : shell.startNotes()) {
      std::fprintf(stderr, "pellux: %s\n", note.c_str());
      text += QString::fromStdString(note) + QLatin1Char('\n');
    }
    // Said once, without stopping the calculator.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pellux"), text.trimmed(), QMessageBox::Ok,
                                shell.window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  }
  return shell.Run();
}

}  // namespace pellux
