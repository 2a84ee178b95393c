// The window's sessions: which image's session this window keeps, the saves
// as it runs, when another image opens and when it closes, and what the
// user is told and asked when a session cannot be saved or is another
// window's.
#include <QGuiApplication>
#include <cstdio>

#include "host/main_window.h"
#include "host/qt_text.h"
#include "host/shell.h"
#include "host/show_error.h"
#include "host/signal_watch.h"
#include "host/status_line.h"
#include "machine/calculator.h"

#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace pellux {

namespace {

// "pellux: the session could not be saved: ...", as every line there reads.
void SayOnStandardError(const QString& text) {
  std::fprintf(stderr, "pellux: %s\n", LowerFirst(text).toStdString().c_str());
  std::fflush(stderr);
}

}  // namespace

bool Shell::EnterSession(const std::filesystem::path& path, const RomIdentity& rom, bool cold,
                         SessionStore::Resumed& resumed) {
  if (options_.sessionFolder.empty()) return true;
  if (!sessions_) {
    sessions_ = std::make_unique<SessionKeeper>(
        options_.sessionFolder, options_.sessionSaveInterval,
        [this](const std::string& message, bool problem) { TellSession(message, problem); });
  }
  const bool same = sessions_->adopted() && sessions_->rom() == rom;
  SessionKeeper::Claim claim;
  if (!same) {
    claim = sessions_->Ask(rom);
    if (claim.elsewhere()) {
      const QString name = Text(path.filename().string());
      QString where = QStringLiteral("another Pellux window");
      if (claim.lock.holder() > 0) where += QStringLiteral(" (process %1)").arg(claim.lock.holder());
      const QString question =
          QStringLiteral(
              "The session of %1 is open in %2.\n\nRun this window on a copy of it? The other window's "
              "session stays as it is; this window's calculator is not saved as the session (File > Save "
              "State... keeps it in a file).")
              .arg(name, where);
      const bool copy = options_.askRunOnCopy
                            ? options_.askRunOnCopy(question)
                            : PlatformShowsWindows() && AskRunOnCopyBox(question, window_.get());
      if (!copy) {
        // At the start nothing runs yet: say why nothing will.
        if (!calc_)
          SayOnStandardError(QStringLiteral("the session of %1 is open in %2; not started").arg(name, where));
        return false;
      }
    }
  }
  if (calc_ && !LeaveSession(QStringLiteral("Open Without Saving"))) return false;
  if (!same) sessions_->Adopt(std::move(claim), *clock_);
  if (!cold) {
    resumed = sessions_->Resume(speedClock_);
    if (resumed.newerSessionKept) sessions_->LeaveAsItIs("a newer version of Pellux saved it");
  }
  return true;
}

Result<void, KindedError<Shell::Unsaved>> Shell::SaveForLeaving() {
  if (!sessions_ || !sessions_->adopted()) return {};
  if (!sessions_->writable()) {
    return Fail(Unsaved::NotTheSession, "This window's calculator is not saved as the session: " +
                                            sessions_->why() + ".");
  }
  const Status saved = SaveSession();
  if (!saved.ok()) return Fail(Unsaved::SaveFailed, "The session could not be saved: " + saved.message());
  return {};
}

UnsavedAnswer Shell::AskUnsaved(const QString& text, const QString& goText, bool canStay) {
  UnsavedQuestion question;
  question.text = text;
  question.goText = goText;
  question.canStay = canStay;
  question.saveElsewhere = [this] { return SaveStateAs(); };
  if (options_.askUnsaved) return options_.askUnsaved(question);
  return PlatformShowsWindows() ? AskUnsavedBox(question, window_.get()) : UnsavedAnswer::Go;
}

bool Shell::LeaveSession(const QString& goText) {
  const auto saved = SaveForLeaving();
  return saved.ok() || AskUnsaved(Text(saved.message()), goText, true) == UnsavedAnswer::Go;
}

Status Shell::SaveSession() {
  if (!sessions_ || !calc_) return Ok();
  return sessions_->SaveNow(*calc_, speedClock_, driver_->mode());
}

void Shell::KeepSession() {
  if (sessions_ && calc_) sessions_->Poll(*calc_, speedClock_, driver_->mode(), *clock_);
}

void Shell::TellSession(const std::string& message, bool problem) {
  SayOnStandardError(Text(message));
  if (!window_) return;
  // A problem stays on the line until another message takes its place.
  if (problem) {
    window_->statusLine().ShowLastingMessage(Text(message));
  } else {
    window_->statusLine().ShowMessage(Text(message));
  }
}

int Shell::CloseSession() {
  const auto saved = SaveForLeaving();
  if (!saved.ok()) {
    const QString text = Text(saved.message());
    SayOnStandardError(text);
    // Asked to end by a signal, the program ends: nobody may be there to answer.
    if (!closedBySignal_) AskUnsaved(text, QStringLiteral("Quit Without Saving"), false);
  }
  sessions_.reset();  // the lock goes with it
  return FailedWith(saved, Unsaved::SaveFailed) ? kExitSessionNotSaved : 0;
}

void Shell::WatchForTheEnd() {
  if (options_.watchSignals) {
    signals_ = std::make_unique<SignalWatch>([this](int) {
      closedBySignal_ = true;
      window_->RequestClose();
    });
  }
#if QT_CONFIG(sessionmanager)
  // The desktop session ends: saved now, in case the program is not let
  // close the normal way.
  if (qGuiApp) {
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, window_.get(), [this](QSessionManager&) {
      if (sessions_ && calc_ && sessions_->writable()) {
        sessions_->Report(sessions_->SaveNow(*calc_, speedClock_, driver_->mode()));
      }
    });
  }
#endif
}

}  // namespace pellux
