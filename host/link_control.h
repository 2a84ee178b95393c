// The link cable in the window.
//
// One cable, one thing at its far end: the computer's side of the link
// protocol (variables sent and received, screen dumps), plugged in from the
// start, or another Pellux over a socket (Link > Connect to / Wait for
// Another Pellux...), in its place from the moment the other one connects
// until it goes away. The machine's loop drives whichever is plugged
// (Driver::Plug): nothing here waits. A socket that waits for a connection
// is looked at between passes without the cable.
//
// Poll, after each pass, turns what happened into what the user sees:
// progress and results on the status line, a notice box for what the user
// must learn (a file refused, a transfer that failed, a connection that
// could not be made), the variables the calculator sends saved as files in
// the received files folder.
#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "io/connection.h"
#include "link/computer_link_peer.h"
#include "linkserver/socket_link.h"

namespace pellux {

class Driver;
class HostClock;
class MainWindow;
class SettingsStore;

// Progress is shown once a transfer has lasted this long (real time), and
// then no more often than this.
constexpr std::uint32_t kProgressDelayMs = 400;
constexpr std::uint32_t kProgressIntervalMs = 100;

class LinkControl {
 public:
  LinkControl(MainWindow& window, Driver& driver, HostClock& clock, SettingsStore& settings);
  ~LinkControl();
  LinkControl(const LinkControl&) = delete;
  LinkControl& operator=(const LinkControl&) = delete;

  // After each pass of the main loop: the transfers' ends, what the
  // calculator sent, the progress.
  void Poll();

  // File > Send to Calculator... and dropped files: the variables of the
  // files, one file after another, in one transfer. A file that is not a
  // TI-92 Plus variable file refuses them all, with the reader's words.
  // Answers whether the transfer was queued.
  bool SendFiles(std::span<const std::filesystem::path> paths);
  // Link > Get Screen: a screen dump through the link, saved as a PNG.
  bool RequestScreen(const std::filesystem::path& path, int scale);
  // Link > Cancel Transfer: whatever the computer's side is doing stops.
  void CancelTransfer();
  // Another machine runs now (reset, a state loaded, another ROM): what was
  // under way is cancelled. Answers what to add to the message that says
  // so ("" when nothing was under way).
  QString MachineReplaced();

  // File > Send to Calculator...: the files the user chooses, sent.
  void SendChosenFiles();
  // Link > Get Screen: to the PNG file the user chooses.
  void GetScreenToChosenFile();
  // Link > Received Files Folder...: the folder the user chooses.
  void ChooseReceivedFolder();
  // Link > Wait for Another Pellux... (listen) and Connect to Another
  // Pellux...: the address the user types, opened.
  void AskAndOpenSocket(bool listen);
  // Whether the computer's side has a transfer under way (Cancel Transfer).
  bool busy() { return computer().Busy(); }

  // Link > Wait for Another Pellux... and Connect to Another Pellux...:
  // the socket opened, or why there is none (nothing changed then). A
  // socket there was goes first.
  Status Listen(const net::Endpoint& endpoint);
  Status Connect(const net::Endpoint& endpoint);
  // Link > Disconnect: the socket goes and the computer's side is plugged in.
  void Disconnect();
  // Whether the computer's side has the cable.
  bool computerPlugged() const;
  // The socket to another Pellux, while there is one.
  const SocketLink* socket() const { return socket_.get(); }
  // What the socket said when it was opened (a warning about the address).
  std::vector<std::string> TakeSocketNotes() { return std::exchange(socketNotes_, {}); }

  // Where received variables are saved: the folder chosen last, else
  // Documents/Pellux.
  std::filesystem::path receivedFolder() const;
  void SetReceivedFolder(const std::filesystem::path& folder);

  ComputerLink& computer() { return computer_.link(); }

 private:
  void OpenSocket(std::unique_ptr<SocketLink> socket);
  // The socket's news, and the cable moved to where it belongs: the socket
  // while another Pellux is connecting or connected, else the computer.
  void PollSocket();
  void PlugComputer();
  // Whether the computer's side has the cable; when not, the user is told
  // why `what` cannot be done.
  bool ComputerHasTheCable(const QString& what);
  void ShowCable();
  void OnEvent(LinkEvent& event, QStringList& notices);
  void OnScreen(const LinkEvent& event, QStringList& notices);
  void OnVariable(const LinkEvent& event, QStringList& notices);
  void ShowProgress();
  void Tell(const QStringList& notices);
  // The menus refreshed when a transfer starts or ends (Cancel Transfer).
  void UpdateMenus();

  MainWindow& window_;
  Driver& driver_;
  HostClock& clock_;
  SettingsStore& settings_;
  ComputerLinkPeer computer_;
  // Where each screen dump asked for goes, by job.
  struct ScreenTarget {
    std::filesystem::path path;
    int scale = 1;
  };
  std::map<std::uint64_t, ScreenTarget> screens_;
  // Since when the computer's side is busy, and the progress last shown.
  std::optional<std::uint32_t> busySince_;
  std::uint32_t progressShownAt_ = 0;
  QString progressShown_;
  bool menusBusy_ = true;  // as the menus were last refreshed; the first Poll refreshes them

  std::unique_ptr<SocketLink> socket_;
  std::uint32_t socketLook_ = 0;  // when the waiting socket was last looked at (Milliseconds)
  std::vector<std::string> socketNotes_;
};

// "Sending main\hello: 12 KB of 30 KB", "Receiving the screen: 900 of 3,840 bytes".
QString ProgressText(const LinkProgress& progress);

}  // namespace pellux
