// The menus' commands on the machine: pause, speed, reset, another ROM,
// screenshots to files, files dropped on the window; and the settings that
// outlive a run.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <new>

#include "host/file_drop.h"
#include "host/gdb_port.h"
#include "host/lcd_view.h"
#include "host/link_control.h"
#include "host/main_window.h"
#include "host/qt_text.h"
#include "host/recent_files.h"
#include "host/screenshot_file.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "io/files.h"
#include "machine/calculator.h"
#include "machine/errors.h"

namespace pellux {

namespace {

const QString kResetQuestion = QStringLiteral(
    "Reset the calculator?\n\nIt boots afresh from its ROM image: what runs now and what its memory holds "
    "are "
    "lost. File > Save State... keeps them in a file first.");

QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

QString FileNameOf(const std::filesystem::path& path) {
  return QString::fromStdString(path.filename().string());
}

}  // namespace

void Shell::StartRecentFiles() {
  recent_ = std::make_unique<RecentFiles>(*window_->menus().recent, settings_,
                                          [this](const QString& path) { OpenRecent(path); });
  recent_->Add(Text(options_.romPath.string()));
}

std::vector<MenuItemDecl> Shell::MenuItems(WindowMenus& m) {
  MainWindow* w = window_.get();
  const QStringList file{QStringLiteral("&File")};
  const QStringList emulation{QStringLiteral("&Emulation")};
  const QStringList speed{QStringLiteral("&Emulation"), QStringLiteral("&Speed")};
  const QStringList link{QStringLiteral("&Link")};
  const QStringList view{QStringLiteral("&View")};
  const QStringList debug{QStringLiteral("&Debug")};
  const QStringList help{QStringLiteral("&Help")};
  auto openRom = [this](bool cold) {
    QString folder = settings_.LastFolder(FileKind::Rom);
    if (folder.isEmpty()) folder = FolderOf(QString::fromStdString(options_.romPath.string()));
    const QString path = window_->chooseOpenFile(FileKind::Rom, folder);
    if (path.isEmpty() || window_->CloseRequested()) return;
    settings_.SetLastFolder(FileKind::Rom, FolderOf(path));
    OpenRom(PathOf(path), cold);
  };
  std::vector<MenuItemDecl> items = {
      {.menu = file,
       .text = QStringLiteral("&Open ROM..."),
       .key = OpenRomKey(),
       .item = &m.openRom,
       .triggered = [openRom] { openRom(false); }},
      {.menu = file,
       .text = QStringLiteral("Open ROM (&cold boot)..."),
       .item = &m.openRomCold,
       .triggered = [openRom] { openRom(true); }},
      {.menu = file, .text = QStringLiteral("Recen&t"), .entry = MenuEntry::Submenu, .submenu = &m.recent},
      {.menu = file,
       .text = QStringLiteral("S&end to Calculator..."),
       .separatorBefore = true,
       .item = &m.sendFiles,
       .triggered = [this] { link_->SendChosenFiles(); }},
      {.menu = file,
       .text = QStringLiteral("&Save State..."),
       .key = SaveStateKey(),
       .separatorBefore = true,
       .item = &m.saveState,
       .triggered =
           [this] {
             const QString path = ChooseStateFile();
             if (path.isEmpty() || window_->CloseRequested()) return;
             SaveStateTo(PathOf(path));
           }},
      {.menu = file,
       .text = QStringLiteral("&Load State..."),
       .key = LoadStateKey(),
       .item = &m.loadState,
       .triggered =
           [this] {
             QString folder = settings_.LastFolder(FileKind::State);
             if (folder.isEmpty()) folder = FolderOf(QString::fromStdString(options_.romPath.string()));
             const QString path = window_->chooseOpenFile(FileKind::State, folder);
             if (path.isEmpty() || window_->CloseRequested()) return;
             settings_.SetLastFolder(FileKind::State, FolderOf(path));
             LoadStateFrom(PathOf(path));
           }},
      {.menu = file,
       .text = QStringLiteral("Save Scree&nshot..."),
       .key = SaveScreenshotKey(),
       .separatorBefore = true,
       .item = &m.saveScreenshot,
       .triggered =
           [this] {
             const QString path = ChooseScreenshotFile(*window_, settings_);
             if (!path.isEmpty()) SaveScreenshot(PathOf(path));
           }},
      // Read when a screenshot is taken: the user's own check.
      {.menu = file,
       .text = QStringLiteral("Screenshots at &Window Size"),
       .check = MenuCheck::Off,
       .item = &m.screenshotAtZoom},
      {.menu = file,
       .text = QStringLiteral("&Reset"),
       .separatorBefore = true,
       .item = &m.reset,
       .triggered =
           [this] {
             if (window_->confirm(kResetQuestion, QStringLiteral("&Reset")) && !window_->CloseRequested())
               Reset();
           }},
      {.menu = file,
       .text = QStringLiteral("&Quit"),
       .key = QKeySequence(Qt::CTRL | Qt::Key_Q),
       .separatorBefore = true,
       .everywhere = true,
       .item = &m.quit,
       .triggered = [w] { w->RequestClose(); }},

      // The window's key handling takes the Pause key itself, before the
      // calculator's keys: the menu only shows it.
      {.menu = emulation,
       .item = &m.pause,
       .triggered = [this] { SetPaused(!paused_); },
       .label = [this] { return PauseItemText(paused_); }},
      {.menu = emulation,
       .text = QStringLiteral("&Speed"),
       .entry = MenuEntry::Submenu,
       .separatorBefore = true},
  };
  const QString speedNames[] = {QStringLiteral("&1x (real time)"), QStringLiteral("&2x"),
                                QStringLiteral("&4x"), QStringLiteral("&Unlimited")};
  for (std::size_t i = 0; i < m.speeds.size(); ++i) {
    const auto chosen = static_cast<Speed>(i);
    items.push_back({.menu = speed,
                     .text = speedNames[i],
                     .check = MenuCheck::Off,
                     .exclusiveGroup = 1,
                     .item = &m.speeds[i],
                     .triggered = [this, chosen] { SetSpeed(chosen); },
                     .checked = [this, chosen] { return speedClock_.speed() == chosen; }});
  }
  std::vector<MenuItemDecl> rest = {
      {.menu = emulation,
       .text = QStringLiteral("Processor at &Calculator Speed"),
       .check = MenuCheck::Off,
       .item = &m.calculatorSpeed,
       .toggled = [this](bool on) { SetCalculatorSpeed(on); },
       .checked = [this] { return speedClock_.calculatorSpeed(); }},

      // Esc is the calculator's: a transfer is cancelled from here only.
      {.menu = link,
       .text = QStringLiteral("&Connect to Another Pellux..."),
       .item = &m.linkConnect,
       .triggered = [this] { link_->AskAndOpenSocket(false); }},
      {.menu = link,
       .text = QStringLiteral("&Wait for Another Pellux..."),
       .item = &m.linkListen,
       .triggered = [this] { link_->AskAndOpenSocket(true); }},
      {.menu = link,
       .text = QStringLiteral("&Disconnect"),
       .item = &m.linkDisconnect,
       .triggered = [this] { link_->Disconnect(); },
       .enabled = [this] { return link_ && link_->socket(); }},
      {.menu = link,
       .text = QStringLiteral("Get &Screen"),
       .separatorBefore = true,
       .item = &m.getScreen,
       .triggered = [this] { link_->GetScreenToChosenFile(); }},
      {.menu = link,
       .text = QStringLiteral("&Received Files Folder..."),
       .item = &m.receivedFolder,
       .triggered = [this] { link_->ChooseReceivedFolder(); }},
      {.menu = link,
       .text = QStringLiteral("C&ancel Transfer"),
       .separatorBefore = true,
       .item = &m.cancelTransfer,
       .triggered = [this] { link_->CancelTransfer(); },
       .enabled = [this] { return link_ && link_->busy(); }},

      // The context menu's own Size items: one check for both menus.
      {.menu = view, .text = QStringLiteral("&Size"), .entry = MenuEntry::Submenu},
      {.menu = {QStringLiteral("&View"), QStringLiteral("&Size")},
       .entry = MenuEntry::Borrowed,
       .borrowed = [w] { return w->SizeItems(); }},
      {.menu = view,
       .text = QStringLiteral("&Keypad"),
       .check = MenuCheck::On,
       .item = &m.keypad,
       .toggled = [w](bool on) { w->ShowKeypad(on); }},
      // In the context menu too: the way out of full screen, where the menu
      // bar is hidden.
      {.menu = view,
       .text = QStringLiteral("&Full Screen"),
       .check = MenuCheck::Off,
       .inContextMenu = true,
       .item = &m.fullScreen,
       .toggled = [w](bool on) { w->SetFullScreen(on); }},

      {.menu = debug,
       .text = QStringLiteral("&Debugger...\tF11"),
       .item = &m.debugger,
       .triggered = [w] { w->openDebugger(); }},
      {.menu = debug,
       .text = QStringLiteral("&Breakpoints..."),
       .item = &m.breakpoints,
       .triggered = [w] { w->ShowBreakpoints(); }},

      {.menu = help,
       .text = QStringLiteral("&Keys..."),
       .item = &m.keys,
       .triggered = [w] { w->ShowKeysWindow(); }},
      {.menu = help,
       .text = QStringLiteral("&About Pellux"),
       .item = &m.about,
       .triggered = [w] { w->ShowAboutWindow(); }},
  };
  items.insert(items.end(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
  return items;
}

QString Shell::ChooseStateFile() {
  QString folder = settings_.LastFolder(FileKind::State);
  if (folder.isEmpty()) folder = FolderOf(QString::fromStdString(options_.romPath.string()));
  const QString suggested = QDir(folder).filePath(QString::fromStdString(options_.romPath.stem().string()) +
                                                  QStringLiteral(".state"));
  QString path = window_->chooseSaveFile(FileKind::State, suggested);
  if (path.isEmpty()) return path;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".state");
  settings_.SetLastFolder(FileKind::State, FolderOf(path));
  return path;
}

bool Shell::SaveStateAs() {
  const QString path = ChooseStateFile();
  return !path.isEmpty() && SaveStateTo(PathOf(path));
}

bool Shell::SaveStateTo(const std::filesystem::path& path) {
  const Status saved = SaveStateFile(path, *calc_, romIdentity_, speedClock_, driver_->mode());
  if (saved.ok()) {
    window_->statusLine().ShowMessage(QStringLiteral("State saved"));
    if (recent_) recent_->Add(Text(path.string()));
    return true;
  }
  const QString text =
      QStringLiteral("The state could not be saved: %1").arg(QString::fromStdString(saved.message()));
  window_->statusLine().ShowMessage(text);
  window_->showWarning(text);
  return false;
}

bool Shell::LoadStateFrom(const std::filesystem::path& path) {
  LoadStateResult loaded = LoadStateFile(path, romIdentity_, speedClock_);
  if (!loaded.ok()) {
    const QString text =
        QStringLiteral("The state could not be loaded: %1").arg(QString::fromStdString(loaded.message()));
    window_->statusLine().ShowMessage(text);
    window_->showWarning(text);
    return false;
  }
  // With the part of a tick it had pending, asleep or running as it was.
  const QString cancelled = Replace(std::move(loaded->machine), loaded->mode, Driver::ClockStart::Kept);
  if (recent_) recent_->Add(Text(path.string()));
  QString message = QStringLiteral("State loaded");
  if (!cancelled.isEmpty()) message += QStringLiteral("; ") + cancelled;
  for (const std::string& note : loaded->notes)
    message += QStringLiteral(". ") + QString::fromStdString(note);
  window_->statusLine().ShowMessage(message);
  return true;
}

void Shell::ApplySettings() {
  const WindowSettings saved = settings_.Load();
  window_->ChangeZoom(saved.zoom);
  SetSpeed(saved.speed);
  SetCalculatorSpeed(saved.calculatorSpeed);
  window_->menus().screenshotAtZoom->setChecked(saved.screenshotAtZoom);
  window_->ShowKeypad(saved.keypad);
  // Back where it was, if that place is still on a screen.
  if (saved.position && QGuiApplication::screenAt(*saved.position + QPoint(8, 8)))
    window_->move(*saved.position);
  window_->statusLine().SetRomName(FileNameOf(options_.romPath));
}

void Shell::SaveSettings() {
  WindowSettings current;
  current.zoom = window_->zoom();
  current.speed = speedClock_.speed();
  current.calculatorSpeed = speedClock_.calculatorSpeed();
  current.screenshotAtZoom = window_->menus().screenshotAtZoom->isChecked();
  current.keypad = window_->menus().keypad->isChecked();
  std::error_code error;
  const std::filesystem::path rom = std::filesystem::absolute(options_.romPath, error);
  if (!error) current.lastRom = QString::fromStdString(rom.string());
  if (!window_->isFullScreen()) current.position = window_->pos();
  settings_.Save(current);
}

void Shell::UpdateStatus() {
  StatusLine& status = window_->statusLine();
  if (paused_) {
    status.SetState(MachineState::Paused);
    status.SetSpeed(std::nullopt);
    return;
  }
  if (gdb_ && gdb_->Holds()) {
    gdb_->ShowStatus(status);
    return;
  }
  status.SetState(driver_->mode() == Driver::Mode::Asleep ? MachineState::Asleep : MachineState::Running);
  // Real time from the host's clock, calculator time from the ticks counted.
  const double seconds =
      static_cast<double>(clock_->Counter()) / static_cast<double>(clock_->CounterFrequency());
  if (const auto percent = speedMeter_.Sample(static_cast<std::int64_t>(seconds * 1e9), calc_->tickCount)) {
    status.SetSpeed(percent);
  }
}

void Shell::SetPaused(bool paused) {
  if (paused_ == paused) return;
  paused_ = paused;
  window_->RefreshMenus();
  speedMeter_.Restart();
  // The time spent paused is not the calculator's: it goes on from now.
  if (!paused) calc_->StartPacing(speedClock_);
  UpdateStatus();
}

void Shell::SetSpeed(Speed speed) {
  speedClock_.SetSpeed(speed);
  window_->RefreshMenus();
  speedMeter_.Restart();
}

void Shell::SetCalculatorSpeed(bool on) {
  speedClock_.SetCalculatorSpeed(on);
  window_->RefreshMenus();
}

QString Shell::Replace(std::unique_ptr<Calculator> fresh, Driver::Mode mode, Driver::ClockStart start) {
  // Breakpoints and watches are the debuggers', not the machine's.
  fresh->breakpoints = calc_->breakpoints;
  fresh->watch = calc_->watch;
  // The machine keeps its place, so that what holds it (the gdb stub) sees
  // the new one.
  *calc_ = std::move(*fresh);
  driver_->Attach(*calc_, mode, start);
  speedMeter_.Restart();
  window_->ShowNewFrame(true);
  return link_ ? link_->MachineReplaced() : QString();
}

void Shell::Reset() {
  try {
    const QString cancelled = Replace(std::make_unique<Calculator>(romImage_));
    window_->statusLine().ShowMessage(cancelled.isEmpty() ? QStringLiteral("Reset")
                                                          : QStringLiteral("Reset; ") + cancelled);
  } catch (const std::bad_alloc&) {
    window_->showError(ErrMsg(StartError::OutOfMemory));
  }
}

bool Shell::OpenRom(const std::filesystem::path& path, bool coldBoot) {
  const auto refuse = [this](const ErrMsg& error) {
    window_->statusLine().ShowMessage(QString::fromUtf8(error.what()));
    // Not the start's error: the box is titled with what failed.
    ErrMsg shown = error;
    shown.captionText = kOpenRomCaption;
    window_->showError(shown);
    return false;
  };
  try {
    RomRead read = ReadMachineImage(path);
    if (!read.ok()) return refuse(ErrMsg(read.error()));
    RomFile rom = std::move(read).value();
    // An empty file starts a machine with nothing to run: not worth leaving
    // the running one for.
    if (rom.bytes.empty())
      return refuse(ErrMsg(StartError::RomReadFailed, DescribeFileError(path, "the file is empty")));
    auto fresh = std::make_unique<Calculator>(rom.bytes);
    const RomIdentity identity = IdentifyRom(rom.bytes);
    // The image left keeps its session for the next time it runs; the one
    // opened comes back where it was left, unless booted cold.
    SessionStore::Resumed resumed;
    if (!EnterSession(path, identity, coldBoot, resumed)) return false;
    romIdentity_ = identity;
    romImage_ = std::move(rom.bytes);
    std::error_code error;
    options_.romPath = std::filesystem::absolute(path, error);
    if (error) options_.romPath = path;
    const bool resuming = resumed.machine != nullptr;
    const QString cancelled =
        resuming ? Replace(std::move(resumed.machine), resumed.mode, Driver::ClockStart::Kept)
                 : Replace(std::move(fresh));
    window_->statusLine().SetRomName(FileNameOf(options_.romPath));
    if (recent_) recent_->Add(Text(options_.romPath.string()));
    QString message =
        (resuming ? QStringLiteral("Resumed %1 where it was left") : QStringLiteral("Opened %1"))
            .arg(QString::fromStdString(options_.romPath.string()));
    if (!cancelled.isEmpty()) message += QStringLiteral("; ") + cancelled;
    window_->statusLine().ShowMessage(message);
    // A suspect image is told in the box the start gives it.
    if (!rom.warnings.empty()) {
      QStringList notes;
      for (const std::string& warning : rom.warnings) notes << Text(ImageNote(path, warning));
      window_->showNotice(notes.join(QLatin1Char('\n')));
    }
    if (!resumed.message.empty()) window_->showWarning(QString::fromStdString(resumed.message));
    return true;
  } catch (const std::bad_alloc&) {
    return refuse(ErrMsg(StartError::OutOfMemory));
  }
}

void Shell::SaveScreenshot(const std::filesystem::path& path) {
  const Status saved = SaveScreenshotPng(path, calc_->Picture(), ScreenshotScale(*window_));
  const QString where = QString::fromStdString(path.string());
  if (saved.ok()) {
    window_->statusLine().ShowMessage(QStringLiteral("Screenshot saved to %1").arg(where));
    return;
  }
  const QString text = QStringLiteral("The screenshot could not be saved: %1")
                           .arg(QString::fromStdString(DescribeFileError(path, saved.message())));
  window_->statusLine().ShowMessage(text);
  window_->showWarning(text);
}

void Shell::OpenRecent(const QString& path) {
  const ClassifiedFile file = ClassifyFile(PathOf(path));
  switch (file.role) {
    case FileRole::RomImage:
    case FileRole::OsFile:
      OpenRom(file.path);
      return;
    case FileRole::State:
      LoadStateFrom(file.path);
      return;
    case FileRole::Variables:
    case FileRole::Refused:
      break;
  }
  const QString why =
      file.problem.empty()
          ? QStringLiteral("%1 is neither a ROM image, an OS file nor a saved state").arg(path)
          : Text(file.problem);
  window_->statusLine().ShowMessage(why);
  window_->showWarning(why);
}

void Shell::OpenDropped(const QStringList& names) {
  std::vector<std::filesystem::path> paths;
  for (const QString& name : names) paths.push_back(PathOf(name));
  const DropPlan plan = PlanDrop(paths);
  StatusLine& status = window_->statusLine();
  if (!plan.ok()) {
    QStringList refusals;
    for (const std::string& refusal : plan.refusals) refusals << QString::fromStdString(refusal);
    const QString why = QStringLiteral("Nothing was opened or sent:");
    status.ShowLastingMessage(why + QLatin1Char(' ') + refusals.join(QStringLiteral("; ")));
    window_->showNotice(why + QLatin1Char('\n') + refusals.join(QLatin1Char('\n')));
    return;
  }
  if (plan.machine) {
    const std::filesystem::path& path = plan.machine->path;
    const bool opened = plan.machine->role == FileRole::State ? LoadStateFrom(path) : OpenRom(path);
    // The variables were for the machine dropped with them.
    if (!opened) return;
  }
  if (!plan.variableFiles.empty()) link_->SendFiles(plan.variableFiles);
}

}  // namespace pellux
