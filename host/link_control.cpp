#include "host/link_control.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <system_error>
#include <utility>
#include <vector>

#include "host/main_window.h"
#include "host/qt_text.h"
#include "host/screenshot_file.h"
#include "host/settings_store.h"
#include "host/status_line.h"
#include "io/files.h"
#include "link/transfer_files.h"
#include "machine/clock.h"
#include "machine/driver.h"

namespace pellux {

QString ProgressText(const LinkProgress& progress) {
  const QString what = Text(progress.what);
  if (progress.total >= 2048) {
    return QStringLiteral("%1: %2 KB of %3 KB")
        .arg(what)
        .arg(progress.done / 1024)
        .arg((progress.total + 512) / 1024);
  }
  return QStringLiteral("%1: %2 of %3 bytes").arg(what).arg(progress.done).arg(progress.total);
}

LinkControl::LinkControl(MainWindow& window, Driver& driver, HostClock& clock, SettingsStore& settings)
    : window_(window), driver_(driver), clock_(clock), settings_(settings) {
  driver_.Plug(&computer_);
  ShowCable();
}

LinkControl::~LinkControl() {
  if (driver_.peer() == &computer_ || (socket_ && driver_.peer() == socket_.get())) driver_.Plug(nullptr);
}

void LinkControl::SendChosenFiles() {
  QString folder = settings_.LastFolder(FileKind::Send);
  if (folder.isEmpty()) folder = QDir::homePath();
  const QStringList chosen = window_.chooseOpenFiles(FileKind::Send, folder);
  if (chosen.isEmpty() || window_.CloseRequested()) return;
  settings_.SetLastFolder(FileKind::Send, QFileInfo(chosen.front()).absolutePath());
  std::vector<std::filesystem::path> paths;
  for (const QString& path : chosen) paths.push_back(PathOf(path));
  SendFiles(paths);
}

void LinkControl::GetScreenToChosenFile() {
  const QString path = ChooseScreenshotFile(window_, settings_);
  if (!path.isEmpty()) RequestScreen(PathOf(path), ScreenshotScale(window_));
}

void LinkControl::ChooseReceivedFolder() {
  const QString chosen =
      window_.chooseFolder(QStringLiteral("Received Files Folder"), Text(receivedFolder().string()));
  if (chosen.isEmpty() || window_.CloseRequested()) return;
  SetReceivedFolder(PathOf(chosen));
}

bool LinkControl::SendFiles(std::span<const std::filesystem::path> paths) {
  if (!ComputerHasTheCable(QStringLiteral("Nothing was sent to the calculator"))) return false;
  VariablesFromFiles read = ReadVariablesFromFiles(paths);
  if (!read.ok()) {
    const QString text = QStringLiteral("Nothing was sent to the calculator. %1").arg(Text(read.message()));
    window_.statusLine().ShowLastingMessage(text);
    window_.showNotice(text);
    return false;
  }
  // A list the calculator cannot take fails at once: the next Poll says so.
  computer().SendVariables(std::move(*read));
  return true;
}

bool LinkControl::RequestScreen(const std::filesystem::path& path, int scale) {
  if (!ComputerHasTheCable(QStringLiteral("No screen dump"))) return false;
  screens_[computer().RequestScreen()] = ScreenTarget{path, scale};
  return true;
}

void LinkControl::CancelTransfer() {
  if (!computer().Busy()) {
    window_.statusLine().ShowMessage(QStringLiteral("No transfer to cancel"));
    return;
  }
  computer().Cancel();
  // The user knows: the status line says it, no box.
  QStringList said;
  QStringList notices;
  for (LinkEvent& event : computer().TakeEvents()) {
    if (event.kind == LinkEventKind::Failed) {
      screens_.erase(event.job);
      said << Text(event.message);
    } else {
      OnEvent(event, notices);
    }
  }
  window_.statusLine().ShowMessage(said.join(QLatin1Char(' ')));
  Tell(notices);
  progressShown_.clear();
  UpdateMenus();
}

QString LinkControl::MachineReplaced() {
  if (!computer().Busy()) return {};
  const LinkProgress progress = computer().Progress();
  computer().Cancel();
  for (const LinkEvent& event : computer().TakeEvents()) screens_.erase(event.job);
  progressShown_.clear();
  UpdateMenus();
  if (progress.what.empty()) return QStringLiteral("the link transfers waiting were cancelled");
  return QStringLiteral("%1 was cancelled").arg(LowerFirst(Text(progress.what)));
}

std::filesystem::path LinkControl::receivedFolder() const {
  const QString chosen = settings_.LastFolder(FileKind::Received);
  if (!chosen.isEmpty()) return PathOf(chosen);
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  return PathOf(QDir(documents).filePath(QStringLiteral("Pellux")));
}

void LinkControl::SetReceivedFolder(const std::filesystem::path& folder) {
  settings_.SetLastFolder(FileKind::Received, Text(folder.string()));
  window_.statusLine().ShowMessage(QStringLiteral("Received files go to %1").arg(Text(folder.string())));
}

void LinkControl::Poll() {
  PollSocket();
  std::vector<LinkEvent> events = computer().TakeEvents();
  if (!events.empty()) {
    QStringList notices;
    for (LinkEvent& event : events) OnEvent(event, notices);
    Tell(notices);
    progressShown_.clear();  // a message took its place
  }
  ShowProgress();
  UpdateMenus();
}

void LinkControl::OnEvent(LinkEvent& event, QStringList& notices) {
  StatusLine& status = window_.statusLine();
  switch (event.kind) {
    case LinkEventKind::Finished:
      // A screen dump's end was said when it was saved.
      if (screens_.erase(event.job) == 0) status.ShowMessage(Text(event.message));
      return;
    case LinkEventKind::Failed:
      screens_.erase(event.job);
      status.ShowLastingMessage(Text(event.message));
      // What the user asked for failed: a box. What the calculator began
      // and the computer ignored (stray bytes) is only said.
      if (event.job != 0) notices << Text(event.message);
      return;
    case LinkEventKind::VariableReceived:
      OnVariable(event, notices);
      return;
    case LinkEventKind::ScreenReceived:
      OnScreen(event, notices);
      return;
  }
}

void LinkControl::OnVariable(const LinkEvent& event, QStringList& notices) {
  const std::filesystem::path folder = receivedFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const SavedVariable saved = error ? SavedVariable(Fail(DescribeFileError(folder, error.message())))
                                    : SaveReceivedVariable(folder, event.variable);
  if (saved.ok()) {
    window_.statusLine().ShowMessage(
        QStringLiteral("%1 Saved as %2").arg(Text(event.message), Text(saved->string())));
    return;
  }
  const QString text =
      QStringLiteral("%1 It could not be saved: %2").arg(Text(event.message), Text(saved.message()));
  window_.statusLine().ShowLastingMessage(text);
  notices << text;
}

void LinkControl::OnScreen(const LinkEvent& event, QStringList& notices) {
  const auto target = screens_.find(event.job);
  if (target == screens_.end()) return;
  const std::filesystem::path& path = target->second.path;
  const Status saved = SaveScreenshotPng(path, event.screen, target->second.scale);
  if (saved.ok()) {
    window_.statusLine().ShowMessage(QStringLiteral("Screen dump saved to %1").arg(Text(path.string())));
    return;
  }
  const QString text = QStringLiteral("The screen dump could not be saved: %1")
                           .arg(Text(DescribeFileError(path, saved.message())));
  window_.statusLine().ShowLastingMessage(text);
  notices << text;
}

void LinkControl::ShowProgress() {
  if (!computer().Busy()) {
    busySince_.reset();
    return;
  }
  const std::uint32_t now = clock_.Milliseconds();
  if (!busySince_) busySince_ = now;
  if (now - *busySince_ < kProgressDelayMs) return;
  if (!progressShown_.isEmpty() && now - progressShownAt_ < kProgressIntervalMs) return;
  const LinkProgress progress = computer().Progress();
  if (progress.what.empty()) return;  // queued behind nothing yet
  const QString text = ProgressText(progress);
  if (text != progressShown_) window_.statusLine().ShowLastingMessage(text);
  progressShown_ = text;
  progressShownAt_ = now;
}

void LinkControl::UpdateMenus() {
  if (busy() == menusBusy_) return;
  menusBusy_ = busy();
  window_.RefreshMenus();
}

void LinkControl::Tell(const QStringList& notices) {
  if (!notices.isEmpty()) window_.showNotice(notices.join(QStringLiteral("\n")));
}

}  // namespace pellux
