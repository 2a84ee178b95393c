#include "host/shell.h"

#include <QCoreApplication>
#include <cstdio>
#include <new>
#include <string>

#include "debugger/symbols.h"
#include "host/file_drop.h"
#include "host/gdb_port.h"
#include "host/link_control.h"
#include "host/main_window.h"
#include "host/recent_files.h"
#include "host/session_store.h"
#include "host/show_error.h"
#include "host/signal_watch.h"
#include "machine/calculator.h"
#include "machine/errors.h"

namespace pellux {

namespace {

// While the machine runs, the host's events are looked at this often rather
// than after every slice: a slice takes some tens of microseconds and a look
// at Qt's queues about a microsecond and a half (measured under X11 and
// offscreen), several percent of the machine's speed if paid every slice.
constexpr auto kRunningPumpInterval = std::chrono::milliseconds(1);

// While the debugger holds the machine, the loop waits this long on its line
// between looks at the host's events.
constexpr int kHeldWaitMs = 10;

}  // namespace

Shell::Shell(ShellOptions options)
    : options_(std::move(options)),
      clock_(options_.clock ? options_.clock : &steadyClock_),
      speedClock_(*clock_),
      settings_(options_.settingsFile) {
  if (!options_.showError) options_.showError = ShowError;
}

Shell::~Shell() {
  signals_.reset();
  TearDown();
}

void Shell::TearDown() {
  gdb_.reset();
  recent_.reset();
  link_.reset();
  window_.reset();
  driver_.reset();
  calc_.reset();
}

bool Shell::Create() {
  window_ = std::make_unique<MainWindow>();
  window_->SetMenus([this](WindowMenus& menus) { return MenuItems(menus); });
  // The start's error box, and nothing left half built.
  const auto refuse = [this](const ErrMsg& error) {
    options_.showError(error, window_.get());
    TearDown();
    return false;
  };
  try {
    RomRead read = ReadMachineImage(options_.romPath);
    if (!read.ok()) return refuse(ErrMsg(read.error()));
    RomFile rom = std::move(read).value();
    for (const std::string& warning : rom.warnings)
      startNotes_.push_back(ImageNote(options_.romPath, warning));
    romIdentity_ = IdentifyRom(rom.bytes);
    SessionStore::Resumed resumed;
    if (!EnterSession(options_.romPath, romIdentity_, options_.fresh, resumed)) {
      TearDown();
      return false;
    }
    if (!resumed.message.empty()) startNotes_.push_back(resumed.message);
    if (resumed.machine) {
      // Switched on again where it was, with its pending part of a tick.
      calc_ = std::move(resumed.machine);
      driver_ = std::make_unique<Driver>(*calc_, speedClock_, resumed.mode, Driver::ClockStart::Kept);
    } else {
      calc_ = std::make_unique<Calculator>(rom.bytes);
      driver_ = std::make_unique<Driver>(*calc_, speedClock_);
    }
    romImage_ = std::move(rom.bytes);
    if (!window_->Attach(driver_.get())) return refuse(ErrMsg(StartError::OutOfResources));
    if (!OpenGdbPort()) {
      TearDown();
      return false;
    }
  } catch (const std::bad_alloc&) {
    return refuse(ErrMsg(StartError::OutOfMemory));
  }
  if (!OpenLink()) {
    TearDown();
    return false;
  }
  LoadSymbols();
  StartRecentFiles();
  ApplySettings();
  window_->RefreshMenus();
  WatchForTheEnd();
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
  if (!load.ok()) {
    // The emulator runs on without names; the dialog says why.
    session.symbolsNote = "No symbols: " + load.message();
    return;
  }
  session.symbols = std::move(load).value();
  session.symbolsNote = "Symbols from " + path->string();
}

bool Shell::OpenLink() {
  link_ = std::make_unique<LinkControl>(*window_, *driver_, *clock_, settings_);
  window_->filesDropped = [this](const QStringList& paths) { OpenDropped(paths); };
  if (!options_.linkListen && !options_.linkConnect) return true;
  const Status opened =
      options_.linkListen ? link_->Listen(*options_.linkListen) : link_->Connect(*options_.linkConnect);
  if (!opened.ok()) {
    std::fprintf(stderr, "pellux: %s\n", opened.message().c_str());
    return false;
  }
  // Where it waits (the port the system chose, for port 0), for scripts.
  std::fprintf(stderr, "pellux: %s %s\n",
               options_.linkListen ? "waiting for another Pellux on" : "connecting to the Pellux at",
               link_->socket()->Address().c_str());
  for (const std::string& note : link_->TakeSocketNotes()) {
    std::fprintf(stderr, "pellux: warning: %s\n", note.c_str());
    startNotes_.push_back("Warning: " + note);
  }
  return true;
}

void Shell::Pass() {
  KeepSession();
  const auto now = std::chrono::steady_clock::now();
  gdb::Stub* stub = gdb_ ? gdb_->stub() : nullptr;
  if (stub && stub->resume() == gdb::Resume::Halted) {
    // Held by the debugger: its line and the window's events only.
    gdb_->Serve(kHeldWaitMs);
    lastPump_ = now;
    if (PumpHostInput()) driver_->Wake();
    UpdateStatus();
    return;
  }
  if (paused_) {
    // The machine stands; the loop only waits and looks at the host's
    // events and gdb's line (its Ctrl-C is answered).
    clock_->WaitIdle();
    lastPump_ = now;
    if (gdb_) gdb_->Serve(0);
    PumpHostInput();
    UpdateStatus();
    return;
  }
  const bool wasRunning = driver_->mode() == Driver::Mode::Running;
  StopReason outcome = StopReason::None;
  if (stub) {
    // Every stop goes to the debugger while one is attached.
    gdb::Advance(*stub, *driver_, [this, &outcome] { return outcome = driver_->Pass(); });
  } else {
    outcome = driver_->Pass();
  }
  window_->ShowNewFrame();
  UpdateStatus();
  link_->Poll();
  const bool stopped = stub && stub->resume() == gdb::Resume::Halted;
  if (IsDebugStop(outcome) && !stub) {
    window_->BreakIn(outcome);
  } else if (!stopped && wasRunning && outcome == StopReason::None && now - lastPump_ < kRunningPumpInterval) {
    return;
  }
  lastPump_ = now;
  if (gdb_) gdb_->Serve(0);
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
  // Quit's Ctrl is the calculator's diamond, pressed on the way out: no key
  // stays held in the session the next start resumes.
  window_->ReleaseAllKeys();
  SaveSettings();
  // Switched off: the calculator keeps its memory for the next start.
  const int status = CloseSession();
  TearDown();
  return status;
}

std::string ImageNote(const std::filesystem::path& path, const std::string& warning) {
  return path.string() + ": " + warning;
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
    shell.window()->showNotice(text.trimmed());
  }
  return shell.Run();
}

}  // namespace pellux
