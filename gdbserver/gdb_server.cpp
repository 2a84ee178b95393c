#include "gdbserver/gdb_server.h"

namespace pellux::gdb {

namespace {

// What a refused debugger reads: an acknowledgement of its first packet and
// an error reply with the reason, which gdb prints.
constexpr std::string_view kRefusal = "E.another debugger is attached to Pellux; it serves one at a time";

// Input buffers read and handed over at most per look at the line.
constexpr int kBuffersPerLook = 4;

}  // namespace

std::string OpenPortWarning(const std::string& address) {
  std::string text = "the debugger's port ";
  text += address;
  text +=
      " is open to other computers: anyone who can reach it can read and change the calculator's "
      "memory and registers, and stop or run it. Name no host (--gdb PORT) to listen on this computer only.";
  return text;
}

Server::Server(Calculator& calc, std::unique_ptr<net::Listener> listener, Log log)
    : calc_(calc), listener_(std::move(listener)), log_(std::move(log)) {}

Server::~Server() = default;

void Server::Attach(std::unique_ptr<net::Connection> connection, const std::string& peer) {
  connection_ = std::move(connection);
  stub_ = std::make_unique<Stub>(calc_);
  peer_ = peer;
  log_("debugger attached from " + peer);
}

void Server::Poll(int timeoutMs) {
  if (!listener_ && !connection_) return;
  // Requests already read that the stub can take now: no waiting.
  if (CanProcess()) timeoutMs = 0;
  if (!net::WaitForActivity(listener_.get(), nullptr, connection_.get(), timeoutMs)) return;
  Serve();
  AcceptWaiting();
}

void Server::Serve() {
  if (!connection_) return;
  // The replies of stops the stub was told of since, then what waits unsent.
  if (!SendOutput()) return;
  if (!connection_->Flush()) {
    EndSession("debugger from " + peer_ + " went away");
    return;
  }
  // A few buffers' worth per look, so that a long stream moves on at a
  // good pace while the machine runs between looks.
  bool open = true;
  for (int round = 0; round < kBuffersPerLook && open; ++round) {
    open = connection_->Receive();
    const std::size_t before = connection_->input().size();
    Process();
    if (!connection_) return;
    if (connection_->input().size() == before) break;  // nothing taken: the replies wait
  }
  // Gone: what it sent before is answered as far as the replies fit. A full
  // input buffer is not read, so its end is looked for apart.
  if (!open || (connection_->inputFull() && connection_->PeerGone())) {
    EndSession("debugger from " + peer_ + " went away");
  }
}

bool Server::CanProcess() const {
  return connection_ && stub_ && !connection_->input().empty() &&
         connection_->outputRoom() >= 2 * kMaxOutputPerEvent;
}

void Server::Process() {
  while (CanProcess()) {
    connection_->Take(stub_->ReceiveOne(connection_->input()));
    if (!SendOutput()) return;
  }
}

bool Server::SendOutput() {
  if (!connection_) return false;
  const std::string output = stub_->TakeOutput();
  if (!output.empty() && !connection_->Send(output)) {
    EndSession("debugger from " + peer_ +
               (connection_->PeerGone() ? " went away" : " did not read its replies"));
    return false;
  }
  if (stub_->Ended()) {
    EndSession(stub_->Killed() ? "debugger killed the program" : "debugger detached");
    return false;
  }
  return true;
}

void Server::Flush() { SendOutput(); }

void Server::Interrupt() {
  if (!stub_) return;
  stub_->Interrupt();
  SendOutput();
}

void Server::AcceptWaiting() {
  if (!listener_) return;
  for (;;) {
    std::string peer;
    std::unique_ptr<net::Connection> client = listener_->Accept(peer, kLimits);
    if (!client) return;
    // A debugger that reconnects at once may come before its old line's
    // end was read: that one has gone, and the place is free.
    if (connection_ && connection_->PeerGone()) {
      connection_->Receive();
      Process();
      if (connection_) EndSession("debugger from " + peer_ + " went away");
    }
    if (connection_) {
      log_("refused a debugger from " + peer + ": one is attached already (from " + peer_ + ")");
      std::string refusal = "+";
      refusal += FramePacket(kRefusal);
      client->Send(refusal);
      continue;  // closing it ends the refusal
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
