// The program around the window: builds the machine from the ROM image and
// the window that shows it, runs the main loop that interleaves the machine
// with the host's events through the machine's driver, and tears both down
// when the window closes.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <string>
#include <vector>

#include "gdbserver/connection.h"
#include "host/settings_store.h"
#include "host/speed_meter.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/save_state.h"
#include "machine/speed_clock.h"

class QWidget;

namespace pellux {

class Calculator;
class ErrMsg;
class MainWindow;
namespace gdb {
class Server;
}

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
  std::optional<gdb::Endpoint> gdb = {};
  // The program's symbols for the debugger; none: the ELF or nm file beside
  // the ROM image, if there is one.
  std::optional<std::filesystem::path> symbolsPath{};
  // The INI file the window's settings live in; the user's own store when
  // empty. Tests give a file of their own.
  QString settingsFile = {};
};

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
  // Saves the session of the image (when sessions are kept, and the saved
  // one is not a newer Pellux's); answers an empty string or the reason it
  // failed.
  std::string SaveSession();

  MainWindow* window() const { return window_.get(); }
  Calculator* calculator() const { return calc_.get(); }
  Driver* driver() const { return driver_.get(); }
  Driver::Mode mode() const { return driver_ ? driver_->mode() : Driver::Mode::Running; }
  SpeedClock& speedClock() { return speedClock_; }
  const std::filesystem::path& romPath() const { return options_.romPath; }

  // The Emulation and File menus' commands.
  bool paused() const { return paused_; }
  void SetPaused(bool paused);
  void SetSpeed(Speed speed);
  void SetCalculatorSpeed(bool on);
  // A cold boot from the ROM image as it was read, breakpoints kept.
  void Reset();
  // Boots another image; on an error the user is told and the running
  // machine runs on. Answers whether the new image runs.
  bool OpenRom(const std::filesystem::path& path);
  // The LCD as a PNG file, at 1X or at the window's zoom.
  void SaveScreenshot(const std::filesystem::path& path);
  // The whole machine to a file and back; failures are told to the user.
  void SaveStateTo(const std::filesystem::path& path);
  bool LoadStateFrom(const std::filesystem::path& path);

 private:
  // The menus' items on the commands above, and the settings of the last run.
  void ConnectMenus();
  void ApplySettings();
  void SaveSettings();
  // The status line's state and speed, after each pass.
  void UpdateStatus();
  // Runs `fresh` from now on in place of the machine there was.
  void Replace(std::unique_ptr<Calculator> fresh, Driver::Mode mode = Driver::Mode::Running,
               Driver::ClockStart start = Driver::ClockStart::Now);

  // Lets Qt deliver what is pending, then hands the queued keys to the
  // machine; true when one of them asked the machine to run first.
  bool PumpHostInput();
  // Serves the debugger; true while it holds the machine stopped.
  bool ServeDebugger(int waitMs);
  // The debugger's symbols, from the options or beside the ROM image.
  void LoadSymbols();

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
  RomIdentity romIdentity_;
  std::vector<std::string> startNotes_;
  // The image whose saved session a newer Pellux made: never saved over.
  std::optional<RomIdentity> newerSession_;
  std::unique_ptr<gdb::Server> gdb_;
  std::chrono::steady_clock::time_point lastPump_{};
};

// The whole program: the window on the ROM image, or a start-up error and 1.
int RunPellux(ShellOptions options = {});

}  // namespace pellux
