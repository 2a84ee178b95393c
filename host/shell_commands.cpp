// The menus' commands on the machine: pause, speed, reset, another ROM,
// screenshots to files, files dropped on the window; and the settings that
// outlive a run.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <chrono>

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
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/files.h"

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

void Shell::ConnectMenus() {
  const WindowMenus& menus = window_->menus();
  MainWindow* w = window_.get();
  recent_ = std::make_unique<RecentFiles>(*menus.recent, settings_,
                                          [this](const QString& path) { OpenRecent(path); });
  recent_->Add(Text(options_.romPath.string()));
  QObject::connect(menus.pause, &QAction::triggered, w, [this] { SetPaused(!paused_); });
  for (std::size_t i = 0; i < menus.speeds.size(); ++i) {
    QObject::connect(menus.speeds[i], &QAction::triggered, w, [this, i] { SetSpeed(static_cast<Speed>(i)); });
  }
  QObject::connect(menus.calculatorSpeed, &QAction::toggled, w, [this](bool on) { SetCalculatorSpeed(on); });
  QObject::connect(menus.reset, &QAction::triggered, w, [this] {
    if (window_->confirm(kResetQuestion, QStringLiteral("&Reset")) && !window_->CloseRequested()) Reset();
  });
  for (const bool cold : {false, true}) {
    QObject::connect(cold ? menus.openRomCold : menus.openRom, &QAction::triggered, w, [this, cold] {
      QString folder = settings_.LastFolder(FileKind::Rom);
      if (folder.isEmpty()) folder = FolderOf(QString::fromStdString(options_.romPath.string()));
      const QString path = window_->chooseOpenFile(FileKind::Rom, folder);
      if (path.isEmpty() || window_->CloseRequested()) return;
      settings_.SetLastFolder(FileKind::Rom, FolderOf(path));
      OpenRom(PathOf(path), cold);
    });
  }
  QObject::connect(menus.saveScreenshot, &QAction::triggered, w, [this] {
    const QString path = ChooseScreenshotFile(*window_, settings_);
    if (!path.isEmpty()) SaveScreenshot(PathOf(path));
  });
  QObject::connect(menus.saveState, &QAction::triggered, w, [this] {
    const QString path = ChooseStateFile();
    if (path.isEmpty() || window_->CloseRequested()) return;
    SaveStateTo(PathOf(path));
  });
  QObject::connect(menus.loadState, &QAction::triggered, w, [this] {
    QString folder = settings_.LastFolder(FileKind::State);
    if (folder.isEmpty()) folder = FolderOf(QString::fromStdString(options_.romPath.string()));
    const QString path = window_->chooseOpenFile(FileKind::State, folder);
    if (path.isEmpty() || window_->CloseRequested()) return;
    settings_.SetLastFolder(FileKind::State, FolderOf(path));
    LoadStateFrom(PathOf(path));
  });
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
  window_->menus().calculatorSpeed->setChecked(saved.calculatorSpeed);
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
  status.SetState(driver_->mode() == Driver::Mode::Idle ? MachineState::Asleep : MachineState::Running);
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
  window_->ShowPaused(paused);
  speedMeter_.Restart();
  // The time spent paused is not the calculator's: it goes on from now.
  if (!paused) calc_->StartPacing(speedClock_);
  UpdateStatus();
}

void Shell::SetSpeed(Speed speed) {
  speedClock_.SetSpeed(speed);
  window_->menus().SpeedItem(speed)->setChecked(true);
  speedMeter_.Restart();
}

void Shell::SetCalculatorSpeed(bool on) {
  speedClock_.SetCalculatorSpeed(on);
  if (window_->menus().calculatorSpeed->isChecked() != on) window_->menus().calculatorSpeed->setChecked(on);
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
  } catch (const ErrMsg& error) {
    window_->showError(error);
  }
}

bool Shell::OpenRom(const std::filesystem::path& path, bool coldBoot) {
  try {
    RomFile rom = ReadMachineImage(path);
    // An empty file starts a machine with nothing to run: not worth leaving
    // the running one for.
    if (rom.bytes.empty()) throw InitErr(StartError::RomReadFailed, DescribeFileError(path, "the file is empty"));
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
  } catch (const ErrMsg& error) {
    window_->statusLine().ShowMessage(QString::fromUtf8(error.what()));
    // Not the start's error: the box is titled with what failed.
    ErrMsg shown = error;
    shown.captionText = kOpenRomCaption;
    window_->showError(shown);
    return false;
  }
}

void Shell::SaveScreenshot(const std::filesystem::path& path) {
  const std::string failure = SaveScreenshotPng(path, calc_->Picture(), ScreenshotScale(*window_));
  const QString where = QString::fromStdString(path.string());
  if (failure.empty()) {
    window_->statusLine().ShowMessage(QStringLiteral("Screenshot saved to %1").arg(where));
    return;
  }
  const QString text = QStringLiteral("The screenshot could not be saved: %1")
                           .arg(QString::fromStdString(DescribeFileError(path, failure)));
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
