// The link cable to another Pellux: Link > Connect to Another Pellux...,
// Wait for Another Pellux..., Disconnect, and the cable moved between the
// socket and the computer's side as the other Pellux comes and goes.
#include <QAction>

#include "host/link_control.h"
#include "host/main_window.h"
#include "host/qt_text.h"
#include "host/settings_store.h"
#include "host/status_line.h"
#include "machine/clock.h"
#include "machine/driver.h"

namespace pellux {

namespace {

// How often a socket waiting for a connection is looked at, in real time.
constexpr std::uint32_t kWaitingLookMs = 5;

}  // namespace

void LinkControl::AskAndOpenSocket(bool listen) {
  const LinkEnd end = listen ? LinkEnd::Listen : LinkEnd::Connect;
  QString suggested = settings_.LinkAddress(end);
  if (suggested.isEmpty()) suggested = listen ? QStringLiteral("5000") : QStringLiteral("127.0.0.1:5000");
  const QString answer =
      listen ? window_.askText(
                   QStringLiteral("Wait for Another Pellux"),
                   QStringLiteral("Wait on [HOST:]PORT (without HOST, only this computer can connect):"),
                   suggested)
             : window_.askText(QStringLiteral("Connect to Another Pellux"),
                               QStringLiteral("The other Pellux waits on HOST:PORT:"), suggested);
  if (answer.isEmpty() || window_.CloseRequested()) return;
  const Result<net::Endpoint> endpoint = net::ParseEndpoint(answer.toStdString());
  QStringList notes;
  if (!endpoint.ok()) {
    notes << QStringLiteral("\"%1\" is no address: %2").arg(answer, Text(endpoint.message()));
  } else {
    settings_.SetLinkAddress(end, answer);
    const Status opened = listen ? Listen(*endpoint) : Connect(*endpoint);
    if (!opened.ok()) notes << Sentence(opened.message());
  }
  for (const std::string& note : TakeSocketNotes()) notes << Sentence(note);
  if (!notes.isEmpty()) window_.showNotice(notes.join(QLatin1Char('\n')));
}

Status LinkControl::Listen(const net::Endpoint& endpoint) {
  Result<std::unique_ptr<SocketLink>> socket = SocketLink::Listen(endpoint);
  if (!socket.ok()) return socket.error();  // "cannot listen on ADDRESS: why"
  OpenSocket(std::move(socket).value());
  return Ok();
}

Status LinkControl::Connect(const net::Endpoint& endpoint) {
  Result<std::unique_ptr<SocketLink>> socket = SocketLink::Connect(endpoint);
  if (!socket.ok()) return socket.error();  // "cannot connect to ADDRESS: why"
  OpenSocket(std::move(socket).value());
  return Ok();
}

void LinkControl::OpenSocket(std::unique_ptr<SocketLink> socket) {
  if (socket_) Disconnect();
  socket_ = std::move(socket);
  // Said at once (a warning about who can reach the port), not in passing.
  socketNotes_ = socket_->TakeMessages();
  const QString where = Text(socket_->Address());
  window_.statusLine().ShowLastingMessage(socket_->state() == SocketLink::State::Listening
                                              ? QStringLiteral("Waiting for another Pellux on %1").arg(where)
                                              : QStringLiteral("Connecting to the Pellux at %1").arg(where));
  PollSocket();
}

void LinkControl::Disconnect() {
  if (!socket_) return;
  const bool waiting = socket_->state() == SocketLink::State::Listening;
  const QString where = Text(socket_->Address());
  PlugComputer();
  socket_.reset();
  ShowCable();
  window_.statusLine().ShowMessage(
      (waiting ? QStringLiteral("No longer waiting on %1") : QStringLiteral("Disconnected from %1"))
          .arg(where) +
      QStringLiteral("; the cable is this computer's again"));
}

bool LinkControl::computerPlugged() const { return driver_.peer() == &computer_; }

void LinkControl::PlugComputer() {
  if (driver_.peer() != &computer_) driver_.Plug(&computer_);
}

void LinkControl::PollSocket() {
  if (!socket_) return;
  const bool socketPlugged = driver_.peer() == socket_.get();
  if (!socketPlugged) {
    // Waiting for a connection: the socket is looked at now and then, the
    // cable stays the computer's until someone connects.
    const std::uint32_t now = clock_.Milliseconds();
    if (now - socketLook_ >= kWaitingLookMs) {
      socketLook_ = now;
      socket_->Poll(0);
    }
  }
  QStringList said;
  for (const std::string& message : socket_->TakeMessages()) said << Sentence(message);
  const SocketLink::State state = socket_->state();
  const bool wanted = state == SocketLink::State::Connecting || state == SocketLink::State::Connected;
  if (wanted && !socketPlugged) {
    // One cable: what the computer's side was doing stops.
    const QString cancelled = MachineReplaced();
    if (!cancelled.isEmpty()) said << QStringLiteral("Another Pellux took the cable: %1").arg(cancelled);
    driver_.Plug(socket_.get());
  } else if (!wanted && socketPlugged) {
    PlugComputer();
    said << QStringLiteral("The link cable is this computer's again");
  }
  bool failedToConnect = false;
  if (state == SocketLink::State::Closed) {
    failedToConnect = socket_->LinksMade() == 0;
    socket_.reset();
  }
  if (!said.isEmpty()) {
    window_.statusLine().ShowLastingMessage(said.join(QStringLiteral(". ")));
    // The user asked to connect and it did not happen: a box.
    if (failedToConnect) window_.showNotice(said.join(QLatin1Char('\n')));
  }
  ShowCable();
}

void LinkControl::ShowCable() {
  QString text;
  if (socket_) {
    const QString where = Text(socket_->Address());
    switch (socket_->state()) {
      case SocketLink::State::Listening:
        text = QStringLiteral("Link: waiting on %1").arg(where);
        break;
      case SocketLink::State::Connecting:
        text = QStringLiteral("Link: connecting to %1").arg(where);
        break;
      case SocketLink::State::Connected:
        text = QStringLiteral("Link: %1").arg(where);
        break;
      case SocketLink::State::Closed:
        break;
    }
  }
  if (window_.statusLine().LinkText() != text) window_.statusLine().SetLinkText(text);
  window_.RefreshMenus();  // Disconnect
}

bool LinkControl::ComputerHasTheCable(const QString& what) {
  if (computerPlugged()) return true;
  const QString text =
      QStringLiteral(
          "%1: the link cable goes to another Pellux (%2). Link > Disconnect gives it back to "
          "this computer.")
          .arg(what, socket_ ? Text(socket_->Address()) : QString());
  window_.statusLine().ShowLastingMessage(text);
  window_.showNotice(text);
  return false;
}

}  // namespace pellux
