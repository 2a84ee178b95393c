#include "gdbserver/gdb_server.h"

#include <poll.h>

#include <cerrno>

namespace pellux::gdb {

Server::Server(Calculator& calc, std::unique_ptr<Listener> listener, Log log)
    : calc_(calc), listener_(std::move(listener)), log_(std::move(log)) {}

Server::~Server() = default;

void Server::Attach(std::unique_ptr<Connection> connection, const std::string& peer) {
  connection_ = std::move(connection);
  stub_ = std::make_unique<Stub>(calc_);
  peer_ = peer;
  log_("debugger attached from " + peer);
}

void Server::Poll(int timeoutMs) {
  pollfd fds[2];
  nfds_t count = 0;
  if (listener_) fds[count++] = {listener_->fd(), POLLIN, 0};
  if (connection_) {
    fds[count++] = {connection_->fd(),
                    static_cast<short>(POLLIN | (connection_->HasPendingOutput() ? POLLOUT : 0)), 0};
  }
  if (count == 0) return;
  if (::poll(fds, count, timeoutMs) < 0 && errno != EINTR) return;
  AcceptWaiting();
  if (!connection_) return;
  std::string received;
  const bool open = connection_->Receive(received);
  if (!received.empty()) stub_->Receive(received);
  Flush();
  if (connection_ && !open) EndSession("debugger from " + peer_ + " went away");
}

void Server::Flush() {
  if (!connection_) return;
  const std::string output = stub_->TakeOutput();
  if (!connection_->Send(output)) {
    EndSession("debugger from " + peer_ + " went away");
    return;
  }
  if (stub_->Ended()) EndSession(stub_->Killed() ? "debugger killed the program" : "debugger detached");
}

void Server::AcceptWaiting() {
  if (!listener_) return;
  for (;;) {
    std::string peer;
    std::unique_ptr<Connection> client = listener_->Accept(peer);
    if (!client) return;
    if (connection_) {
      log_("refused a debugger from " + peer + ": one is attached already (from " + peer_ + ")");
      continue;  // closing it is the refusal
    }
    Attach(std::move(client), peer);
  }
}

void Server::EndSession(const std::string& why) {
  if (stub_) {
    stub_->Disconnect();
    killed_ |= stub_->Killed();
  }
  // What is still queued (the reply to D) goes out before the close.
  if (connection_ && stub_) connection_->Send(stub_->TakeOutput());
  stub_.reset();
  connection_.reset();
  sessionEnded_ = true;
  log_(why);
}

}  // namespace pellux::gdb
