#include "tools/headless_link.h"

#include <chrono>
#include <thread>
#include <utility>

#include "link/transfer_files.h"
#include "tools/arguments.h"

namespace pellux {

namespace {

// How long a connecting run waits for the other Pellux before it gives up,
// and between its tries while nobody listens.
constexpr auto kConnectWait = std::chrono::seconds(10);
constexpr auto kRetryWait = std::chrono::milliseconds(100);

void Say(std::FILE* stream, const std::string& message) {
  std::fprintf(stream, "pellux-headless: %s\n", message.c_str());
}

std::string SecondsText(std::int64_t tick) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(tick) / kTicksPerSecond);
  return text;
}

}  // namespace

HeadlessTransfers::HeadlessTransfers(HeadlessSession& session, std::filesystem::path receiveFolder,
                                     std::FILE* out, std::FILE* err)
    : session_(session), folder_(std::move(receiveFolder)), out_(out), err_(err) {}

void HeadlessTransfers::Plan(PlannedSend send) { planned_.push_back(std::move(send)); }

void HeadlessTransfers::Exchange(Calculator& m) {
  const std::int64_t now = session_.Now();
  if (!ready_) {
    if (session_.driver().mode() == Driver::Mode::Asleep) {
      if (!asleepSince_) asleepSince_ = now;
      ready_ = now - *asleepSince_ >= kReadyIdleTicks;
    } else {
      asleepSince_.reset();
    }
  }
  // Due sends begin in the order they were planned; the link does one job
  // after the other.
  for (auto send = planned_.begin(); send != planned_.end();) {
    if (send->tick ? *send->tick > now : !ready_) {
      ++send;
      continue;
    }
    running_.insert(peer_.link().SendVariables(std::move(send->variables)));
    send = planned_.erase(send);
  }
  peer_.Exchange(m);
  for (LinkEvent& event : peer_.link().TakeEvents()) Report(event);
}

void HeadlessTransfers::Report(LinkEvent& event) {
  switch (event.kind) {
    case LinkEventKind::Finished:
      std::fprintf(out_, "%s\n", event.message.c_str());
      break;
    case LinkEventKind::Failed:
      Say(err_, event.message);
      failed_ = true;
      break;
    case LinkEventKind::VariableReceived: {
      const SavedVariable saved = SaveReceivedVariable(folder_, event.variable);
      if (!saved.ok()) {
        Say(err_, event.message + " It could not be saved: " + saved.message());
        failed_ = true;
        break;
      }
      std::fprintf(out_, "%s Saved as %s.\n", event.message.c_str(), Quoted(saved->string(), 200).c_str());
      break;
    }
    case LinkEventKind::ScreenReceived:
      break;  // never asked for
  }
  if (event.kind == LinkEventKind::Finished || event.kind == LinkEventKind::Failed) running_.erase(event.job);
}

bool HeadlessTransfers::Finish() {
  bool done = !failed_;
  for (const PlannedSend& send : planned_) {
    Say(err_,
        send.what + " was not sent: " +
            (send.tick ? "the run ended before its time, " + SecondsText(*send.tick)
                       : std::string("the calculator was not ready before the run ended (it never slept for "
                                     "0.1 s at a stretch, waiting for a key)")));
    done = false;
  }
  if (!running_.empty() || peer_.link().Busy()) {
    const LinkProgress progress = peer_.link().Progress();
    Say(err_, "the run ended in the middle of a transfer" +
                  (progress.what.empty() ? std::string() : " (" + progress.what + ")"));
    done = false;
  }
  return done;
}

Result<std::unique_ptr<HeadlessSocket>> HeadlessSocket::Open(const net::Endpoint& endpoint, bool listen,
                                                             std::FILE* err) {
  Result<std::unique_ptr<SocketLink>> link =
      listen ? SocketLink::Listen(endpoint) : SocketLink::Connect(endpoint);
  if (!link.ok()) return link.error();
  std::unique_ptr<HeadlessSocket> socket(new HeadlessSocket(std::move(link).value(), endpoint, err));
  socket->Tell();
  return socket;
}

bool HeadlessSocket::WaitForPeer() {
  if (link_->state() != SocketLink::State::Listening) return WaitToConnect();
  Say(err_, "waiting for another Pellux to link on " + link_->Address() + " (--link-connect)");
  // Counted, not looked at: a peer may link and go within one look.
  while (link_->LinksMade() == 0) {
    link_->Poll(250);
    Tell();
  }
  return true;
}

bool HeadlessSocket::WaitToConnect() {
  using State = SocketLink::State;
  const auto deadline = std::chrono::steady_clock::now() + kConnectWait;
  for (;;) {
    while (link_->state() == State::Connecting && std::chrono::steady_clock::now() < deadline)
      link_->Poll(100);
    if (link_->state() == State::Connected) break;
    if (link_->state() == State::Connecting) {
      Say(err_, "no answer from " + link_->Address() + " within 10 seconds");
      return false;
    }
    // Nobody listening yet is tried again; a Pellux that refused, or a
    // program that is none, is not.
    std::vector<std::string> messages = link_->TakeMessages();
    const bool unanswered = messages.size() == 1 && messages[0].starts_with("cannot connect to ");
    if (!unanswered || std::chrono::steady_clock::now() + kRetryWait >= deadline) {
      for (const std::string& message : messages) Say(err_, message);
      return false;
    }
    std::this_thread::sleep_for(kRetryWait);
    Result<std::unique_ptr<SocketLink>> again = SocketLink::Connect(endpoint_);
    if (!again.ok()) {
      Say(err_, again.message());
      return false;
    }
    link_ = std::move(again).value();
  }
  Tell();
  return true;
}

void HeadlessSocket::Exchange(Calculator& m) {
  link_->Exchange(m);
  Tell();
}

void HeadlessSocket::Tell() {
  for (const std::string& message : link_->TakeMessages()) Say(err_, message);
}

}  // namespace pellux
