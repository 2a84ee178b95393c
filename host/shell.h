// The program around the window: builds the machine from the ROM image and
// the window that shows it, runs the main loop that interleaves the machine
// with the host's events through the machine's driver, and tears both down
// when the window closes.
#pragma once

#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "host/session_keeper.h"
#include "host/session_prompts.h"
#include "host/settings_store.h"
#include "host/speed_meter.h"
#include "host/window_menus.h"
#include "io/connection.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/save_state.h"
#include "machine/speed_clock.h"

class QWidget;

namespace pellux {

class Calculator;
class ErrMsg;
class GdbPort;
class LinkControl;
class MainWindow;
class RecentFiles;
class SignalWatch;

struct ShellOptions {
  std::filesystem::path romPath = "ti92p.rom";  // relative to the working directory
  // How a start-up error reaches the user; the message box by default.
  std::function<void(const ErrMsg&, QWidget* owner)> showError;
  // Where real time comes from; the host's steady clock when null. Tests
  // give a manual clock, so that the loop never sleeps.
  HostClock* clock = nullptr;
  // Where the sessions are kept, one per ROM image; none are when empty.
  std::filesystem::path sessionFolder = {};
  // Cold-boot the image instead of resuming its saved session.
  bool fresh = false;
  // Where a debugger may attach (gdb's remote protocol); none: nowhere.
  std::optional<net::Endpoint> gdb = {};
  // Another Pellux at the other end of the link cable, waited for or
  // connected to from the start; none: the computer's side has the cable.
  std::optional<net::Endpoint> linkListen = {};
  std::optional<net::Endpoint> linkConnect = {};
  // The program's symbols for the debugger; none: the ELF or nm file beside
  // the ROM image, if there is one.
  std::optional<std::filesystem::path> symbolsPath{};
  // The INI file the window's settings live in; the user's own store when
  // empty. Tests give a file of their own.
  QString settingsFile = {};
  // How often the session is saved while the machine runs.
  std::chrono::milliseconds sessionSaveInterval = kSessionSaveInterval;
  // SIGTERM, SIGINT and SIGHUP close the window the normal way, saving the
  // session (the program does; tests that send themselves one too).
  bool watchSignals = false;
  // Asked when another window keeps the session of the image to run: true
  // runs this one on a copy. None: a box where windows can be seen, else no.
  std::function<bool(const QString& question)> askRunOnCopy = {};
  // Asked when the machine would go unsaved (its session could not be
  // saved, or it runs on a copy). None: a box where windows can be seen,
  // else it goes.
  std::function<UnsavedAnswer(const UnsavedQuestion&)> askUnsaved = {};
};

// The exit status when the window closed but its session could not be saved.
constexpr int kExitSessionNotSaved = 3;

class Shell {
 public:
  explicit Shell(ShellOptions options = {});
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Makes the machine and the window. After a start-up error, already
  // shown to the user, there is neither and the answer is false.
  bool Create();
  // The main loop, until the window is closed; then the window goes, then
  // the machine. Answers the exit code.
  int Run();
  // One pass of the main loop: the machine, then the host's events.
  void Pass();

  // What the user should know about the start: warnings about the image, a
  // saved session that could not be read.
  const std::vector<std::string>& startNotes() const { return startNotes_; }
  // Saves the session of the image now (when this window keeps it), after
  // the background write in flight; answers whether it was saved, or why not.
  Status SaveSession();
  // The session kept for the image; null when sessions are not kept.
  SessionKeeper* sessions() const { return sessions_.get(); }

  MainWindow* window() const { return window_.get(); }
  Calculator* calculator() const { return calc_.get(); }
  Driver* driver() const { return driver_.get(); }
  Driver::Mode mode() const { return driver_ ? driver_->mode() : Driver::Mode::Running; }
  // Where gdb may attach, when it may.
  GdbPort* gdbPort() const { return gdb_.get(); }
  // The link cable's far end and the transfers through it.
  LinkControl* link() const { return link_.get(); }
  SpeedClock& speedClock() { return speedClock_; }
  const std::filesystem::path& romPath() const { return options_.romPath; }

  // The Emulation and File menus' commands.
  bool paused() const { return paused_; }
  void SetPaused(bool paused);
  void SetSpeed(Speed speed);
  void SetCalculatorSpeed(bool on);
  // A cold boot from the ROM image as it was read, breakpoints kept.
  void Reset();
  // Runs another image: resumes its session, or boots it cold. The session
  // of the image left is saved first. On an error (or when the user would
  // rather stay) the running machine runs on. Answers whether the new image
  // runs.
  bool OpenRom(const std::filesystem::path& path, bool coldBoot = false);
  // The LCD as a PNG file, at 1X or at the window's zoom.
  void SaveScreenshot(const std::filesystem::path& path);
  // The whole machine to a file and back; failures are told to the user.
  bool SaveStateTo(const std::filesystem::path& path);
  bool LoadStateFrom(const std::filesystem::path& path);
  // The save dialog, then SaveStateTo; true when the state was saved.
  bool SaveStateAs();
  // Files dropped on the window: variables sent, a ROM image or OS opened,
  // a state loaded; anything else refused with the reason.
  void OpenDropped(const QStringList& paths);
  // A file of File > Recent: a ROM image or OS opened, a state loaded.
  void OpenRecent(const QString& path);
  RecentFiles* recentFiles() const { return recent_.get(); }

 private:
  // The menu bar's table: every item where it goes, what it says and does
  // and where its state comes from; `m` gets the items named.
  std::vector<MenuItemDecl> MenuItems(WindowMenus& m);
  // File > Recent, with the image running first.
  void StartRecentFiles();
  // The settings of the last run.
  void ApplySettings();
  void SaveSettings();
  // The status line's state and speed, after each pass.
  void UpdateStatus();
  // Runs `fresh` from now on in place of the machine there was; answers
  // what the user should hear of a link transfer that this cancelled.
  QString Replace(std::unique_ptr<Calculator> fresh, Driver::Mode mode = Driver::Mode::Running,
                  Driver::ClockStart start = Driver::ClockStart::Now);

  // Lets Qt deliver what is pending, then hands the queued keys to the
  // machine; true when one of them asked the machine to run first.
  bool PumpHostInput();
  // Opens gdb's port, when asked for; false when it cannot be opened.
  bool OpenGdbPort();
  // The link cable and, when asked for, the socket to another Pellux; false
  // when the socket cannot be opened.
  bool OpenLink();
  // The debugger's symbols, from the options or beside the ROM image.
  void LoadSymbols();
  // The machine and all that hangs on it gone, each before what it holds on
  // to: gdb's port and the link, the window, the driver, the machine.
  void TearDown();

  // Sessions (shell_sessions.cpp). Takes the session of the image at path
  // for this window, after the machine running (if any) has left its own;
  // fills `resumed` unless cold. False: the user would rather not (the
  // session is another window's and no copy was wanted, or the machine
  // running could not be saved and stays).
  bool EnterSession(const std::filesystem::path& path, const RomIdentity& rom, bool cold,
                    SessionStore::Resumed& resumed);
  // Why a machine leaving would go unsaved.
  enum class Unsaved { NotTheSession, SaveFailed };
  // Saves the session where this window keeps it; fails with what the user
  // must know when the machine would go unsaved.
  Result<void, KindedError<Unsaved>> SaveForLeaving();
  // What the user does about a machine that would go unsaved.
  UnsavedAnswer AskUnsaved(const QString& text, const QString& goText, bool canStay);
  // The running machine's session saved, or the user's leave to go without.
  bool LeaveSession(const QString& goText);
  // The interval save, at each pass.
  void KeepSession();
  // The last save, when the window has closed; answers the exit status.
  int CloseSession();
  // The session saved when the program is asked to end: a signal, the end
  // of the desktop session.
  void WatchForTheEnd();
  void TellSession(const std::string& message, bool problem);
  QString ChooseStateFile();

  ShellOptions options_;
  SteadyClock steadyClock_;
  HostClock* clock_;
  SpeedClock speedClock_;  // the machine's clock: clock_ at the chosen speed
  SettingsStore settings_;
  SpeedMeter speedMeter_;
  bool paused_ = false;
  std::vector<std::uint8_t> romImage_;  // as read, for Reset
  std::unique_ptr<Calculator> calc_;  // declared before the window, so it outlives it
  std::unique_ptr<Driver> driver_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<LinkControl> link_;  // after the window and the driver, so it goes first
  RomIdentity romIdentity_;
  std::vector<std::string> startNotes_;
  std::unique_ptr<GdbPort> gdb_;
  std::chrono::steady_clock::time_point lastPump_{};
  std::unique_ptr<SessionKeeper> sessions_;
  std::unique_ptr<SignalWatch> signals_;
  std::unique_ptr<RecentFiles> recent_;
  bool closedBySignal_ = false;
};

// "ti92p.rom: the image is only zeros ...": what a suspect image is told
// with, at the start and when opened later.
std::string ImageNote(const std::filesystem::path& path, const std::string& warning);

// The whole program: the window on the ROM image, or a start-up error and 1.
int RunPellux(ShellOptions options = {});

}  // namespace pellux
