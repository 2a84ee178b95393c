#include "link/computer_link.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "link/var_header.h"

namespace pellux {

namespace {

// Headers and refusals are small; a calculator's VAR is under 30 bytes.
constexpr std::size_t kMaxHeaderData = 64;
// ERRs either way for one packet before the job is given up.
constexpr unsigned kMaxRetries = 3;
// What the computer's SKIP says when it cannot take a variable: exit.
constexpr std::uint8_t kSkipExit = 1;

constexpr std::uint8_t kComputer = link_machine::kComputerToTi92Plus;

std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

std::string DescribeJobVariables(const std::vector<Variable>& variables) {
  if (variables.size() == 1) return QualifiedName(variables[0]);
  return std::to_string(variables.size()) + " variables";
}

}  // namespace

ComputerLink::ComputerLink(ComputerLinkTimes times)
    : times_(times), reader_({link_machine::kTi92Plus, link_machine::kTi89}, kMaxHeaderData) {}

// --- Jobs ---

std::uint64_t ComputerLink::SendVariables(std::vector<Variable> variables) {
  const std::uint64_t id = nextJob_++;
  if (variables.empty()) {
    Emit(LinkEventKind::Failed, id, "Nothing to send.");
    return id;
  }
  for (const Variable& variable : variables) {
    if (const Status sendable = CheckSendable(variable); !sendable.ok()) {
      const std::string name = variable.name.empty() ? std::string("A variable") : QualifiedName(variable);
      Emit(LinkEventKind::Failed, id, name + " cannot be sent: " + sendable.message() + ".");
      return id;
    }
  }
  queue_.push_back(Job{id, JobKind::Send, std::move(variables)});
  return id;
}

std::uint64_t ComputerLink::RequestScreen() {
  const std::uint64_t id = nextJob_++;
  queue_.push_back(Job{id, JobKind::Screen, {}});
  return id;
}

void ComputerLink::Cancel() {
  const bool active = InJob() || Receiving();
  if (active) Emit(LinkEventKind::Failed, InJob() ? job_->id : 0, "Cancelled" + Context() + ".");
  for (const Job& job : queue_) {
    const std::string what =
        job.kind == JobKind::Screen ? "taking a screen dump" : "sending " + DescribeJobVariables(job.variables);
    Emit(LinkEventKind::Failed, job.id, "Cancelled before it began (" + what + ").");
  }
  queue_.clear();
  job_.reset();
  DropOutput();
  reader_.Reset();
  last_.clear();
  resetPending_ = false;
  Advanced();
  if (active) {
    step_ = Step::Discarding;
    lastActivity_ = now_;
  } else if (step_ == Step::RecvEnd) {
    step_ = Step::Idle;
  }
}

void ComputerLink::StartNextJob() {
  if (step_ != Step::Idle || job_ || queue_.empty() || reader_.Partial()) return;
  job_ = std::move(queue_.front());
  queue_.pop_front();
  lastActivity_ = now_;
  heard_ = false;
  resetPending_ = false;
  refusals_.clear();
  Advanced();
  if (job_->kind == JobKind::Screen) {
    SendHeader(link_command::kScr);
    step_ = Step::ScreenAck;
    return;
  }
  variable_ = 0;
  bytesBefore_ = 0;
  sentCount_ = 0;
  bytesTotal_ = 0;
  for (const Variable& variable : job_->variables) bytesTotal_ += variable.data.size();
  SendVariableHeader();
}

// --- The cable ---

void ComputerLink::Clock(std::uint64_t now) {
  if (now < now_) {
    PeerVanished(now);
    return;
  }
  now_ = now;
}

void ComputerLink::Receive(std::span<const std::uint8_t> bytes, std::uint64_t now) {
  Clock(now);
  if (bytes.empty()) return;
  lastActivity_ = now_;
  heard_ = true;
  // Every pass of the loop takes at least one byte.
  while (!bytes.empty() && step_ != Step::Discarding) {
    reader_.SetMaxData(MaxDataNow());
    const PacketReader::Result result = reader_.Feed(bytes);
    bytes = bytes.subspan(result.consumed);
    if (result.status == PacketReader::Status::Packet) {
      OnPacket(reader_.TakePacket());
    } else if (result.status == PacketReader::Status::Fault) {
      if (result.fault == PacketFault::BadChecksum) {
        OnDamaged(result.message);
      } else {
        OnGarbage(result.message);
      }
    }
  }
}

void ComputerLink::PeerReset(std::uint64_t now) {
  Clock(now);
  reader_.Reset();
  if (InJob() || Receiving()) {
    DropOutput();
    if (!resetPending_) {
      resetPending_ = true;
      resetAt_ = now_;
    }
  } else if (step_ == Step::RecvEnd) {
    step_ = Step::Idle;
  }
}

void ComputerLink::PeerVanished(std::uint64_t now) {
  now_ = now;
  resetPending_ = false;
  if (InJob() || Receiving()) Fail("The calculator went away: the machine was reset or replaced" + Context() + ".");
  reader_.Reset();
  DropOutput();
  last_.clear();
  step_ = Step::Idle;
  lastActivity_ = now_;
}

void ComputerLink::Advance(std::uint64_t now) {
  Clock(now);
  const std::uint64_t silence = now_ - lastActivity_;
  if (resetPending_ && now_ - resetAt_ >= times_.resetGrace) {
    Fail("");  // the reset's own message
  } else if ((InJob() || Receiving()) && silence >= times_.answer) {
    Fail((heard_ ? "The calculator stopped answering for " : "No answer from the calculator in ") +
         Seconds(times_.answer) + Context() + ".");
  } else if (step_ == Step::RecvEnd && silence >= times_.answer) {
    step_ = Step::Idle;  // the variable came; its EOT did not, which loses nothing
  } else if (step_ == Step::Discarding && silence >= times_.quiet) {
    step_ = Step::Idle;
  } else if (step_ == Step::Idle && reader_.Partial() && silence >= times_.answer) {
    reader_.Reset();  // a stray piece of a packet
  }
  StartNextJob();
}

std::span<const std::uint8_t> ComputerLink::Output() const {
  return std::span<const std::uint8_t>(out_).subspan(outHead_);
}

void ComputerLink::OutputTaken(std::size_t count, std::uint64_t now) {
  Clock(now);
  count = std::min(count, out_.size() - outHead_);
  if (count == 0) return;
  outHead_ += count;
  taken_ += count;
  lastActivity_ = now_;
  if (outHead_ == out_.size()) {
    out_.clear();
    outHead_ = 0;
  } else if (outHead_ >= 4096 && outHead_ * 2 >= out_.size()) {
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outHead_));
    outHead_ = 0;
  }
}

// --- Packets from the calculator ---

std::size_t ComputerLink::MaxDataNow() const {
  switch (step_) {
    case Step::RecvCtsAck:
    case Step::RecvData:
      return 0xFFFF;
    case Step::ScreenAck:
    case Step::ScreenData:
      return kScreenDumpBytes;
    default:
      return kMaxHeaderData;
  }
}

void ComputerLink::OnPacket(LinkPacket packet) {
  damaged_ = 0;
  // Anywhere: the calculator asks whether we are there, or complains of
  // the last packet.
  if (packet.command == link_command::kRdy) {
    SendHeader(link_command::kAck);
    return;
  }
  if (packet.command == link_command::kErr) {
    Resend();
    return;
  }
  switch (step_) {
    case Step::Idle:
      OnIdlePacket(packet);
      return;
    case Step::Discarding:
      return;
    case Step::RecvEnd:
      if (packet.command == link_command::kEot) {
        SendHeader(link_command::kAck);
        step_ = Step::Idle;
        return;
      }
      step_ = Step::Idle;
      OnIdlePacket(packet);
      return;
    case Step::VarAck:
    case Step::VarCts:
    case Step::DataAck:
    case Step::EotAck:
      OnSendPacket(packet);
      return;
    case Step::ScreenAck:
    case Step::ScreenData:
      OnScreenPacket(packet);
      return;
    case Step::RecvCtsAck:
    case Step::RecvData:
      OnReceivePacket(packet);
      return;
  }
}

void ComputerLink::OnIdlePacket(const LinkPacket& packet) {
  switch (packet.command) {
    case link_command::kVar:
      BeginReceive(packet);
      return;
    case link_command::kAck:
    case link_command::kCts:  // nothing of ours waits to be sent
      return;
    default:
      SendHeader(link_command::kAck);  // taken, so the calculator is not left waiting
      return;
  }
}

void ComputerLink::OnDamaged(const std::string& message) {
  if (++damaged_ > kMaxRetries) {
    damaged_ = 0;
    if (InJob() || Receiving()) {
      Fail("The calculator's packets kept arriving damaged: " + message + Context() + ".");
    } else {
      Emit(LinkEventKind::Failed, 0, "Ignored damaged packets from the calculator: " + message + ".");
    }
    return;
  }
  SendHeader(link_command::kErr);
}

void ComputerLink::OnGarbage(const std::string& message) {
  if (InJob() || Receiving()) {
    Fail("The calculator sent " + message + Context() + ".");
  } else {
    Emit(LinkEventKind::Failed, 0, "Ignored bytes from the calculator: " + message + ".");
  }
  DropOutput();
  reader_.Reset();
  step_ = Step::Discarding;
  lastActivity_ = now_;
}

void ComputerLink::Unexpected(const LinkPacket& packet, const char* expected) {
  Fail("The calculator answered " + DescribeLinkCommand(packet.command) + " where " + expected + " was expected" +
       Context() + ".");
}

// --- Sending variables ---

void ComputerLink::SendVariableHeader() {
  Send(EncodeLinkPacket(kComputer, link_command::kVar, EncodeVarHeader(CurrentVariable())));
  step_ = Step::VarAck;
}

void ComputerLink::SendVariableData() {
  const std::vector<std::uint8_t>& data = CurrentVariable().data;
  std::vector<std::uint8_t> xdp(4, 0);
  xdp.insert(xdp.end(), data.begin(), data.end());
  Send(EncodeLinkPacket(kComputer, link_command::kXdp, xdp), true);
  step_ = Step::DataAck;
}

void ComputerLink::NextVariable() {
  Advanced();
  if (++variable_ < job_->variables.size()) {
    SendVariableHeader();
    return;
  }
  SendHeader(link_command::kEot);
  step_ = Step::EotAck;
}

std::string ComputerLink::RefusalSummary() const {
  std::string refusals;
  for (const std::string& refusal : refusals_) refusals += (refusals.empty() ? "" : "; ") + refusal;
  if (job_->variables.size() == 1) return Capitalized(refusals) + ".";
  return "Sent " + std::to_string(sentCount_) + " of " + std::to_string(job_->variables.size()) + " variables; " +
         refusals + ".";
}

void ComputerLink::OnRefused(const LinkPacket& skip) {
  refusals_.push_back("the calculator refused " + QualifiedName(CurrentVariable()) + ": " + RefusalReason(skip.data));
  if (RefusalEndsTransfer(skip.data)) {
    Fail(RefusalSummary());
    SendHeader(link_command::kAck);
    return;
  }
  SendHeader(link_command::kAck);
  NextVariable();
}

void ComputerLink::OnSendPacket(const LinkPacket& packet) {
  const std::uint8_t command = packet.command;
  if (command == link_command::kSkip && step_ != Step::EotAck) {
    OnRefused(packet);
    return;
  }
  switch (step_) {
    case Step::VarAck:
      if (command != link_command::kAck) return Unexpected(packet, "ACK");
      step_ = Step::VarCts;
      Advanced();
      return;
    case Step::VarCts:
      if (command == link_command::kAck) return;  // the same ACK again
      if (command != link_command::kCts) return Unexpected(packet, "CTS");
      SendHeader(link_command::kAck);
      SendVariableData();
      Advanced();
      return;
    case Step::DataAck:
      if (command != link_command::kAck) return Unexpected(packet, "ACK");
      bytesBefore_ += CurrentVariable().data.size();
      ++sentCount_;
      NextVariable();
      return;
    case Step::EotAck:
      if (command != link_command::kAck) return Unexpected(packet, "ACK");
      if (!refusals_.empty()) {
        Fail(RefusalSummary());
      } else {
        Finish("Sent " + DescribeJobVariables(job_->variables) + " to the calculator.");
      }
      return;
    default:
      return;
  }
}

// --- Data the calculator sends: a screen, a variable ---

// The ACK before the data moves on to waiting for it; anything but the data
// ends the job. Answers whether the packet is the data.
bool ComputerLink::IsAwaitedData(const LinkPacket& packet, Step ackStep, Step dataStep) {
  if (packet.command == link_command::kAck) {
    if (step_ == ackStep) step_ = dataStep;
    Advanced();
    return false;
  }
  if (packet.command != link_command::kXdp) {
    Unexpected(packet, step_ == ackStep ? "ACK" : "XDP");
    return false;
  }
  return true;
}

void ComputerLink::OnScreenPacket(LinkPacket& packet) {
  if (!IsAwaitedData(packet, Step::ScreenAck, Step::ScreenData)) return;
  if (packet.data.size() != kScreenDumpBytes) {
    Fail("The calculator sent a screen of " + std::to_string(packet.data.size()) + " bytes, not " +
         std::to_string(kScreenDumpBytes) + ".");
    SendHeader(link_command::kAck);
    return;
  }
  SendHeader(link_command::kAck);
  LinkEvent event;
  event.kind = LinkEventKind::ScreenReceived;
  event.job = job_->id;
  event.message = "Screen dump received.";
  std::copy(packet.data.begin(), packet.data.end(), event.screen.begin());
  events_.push_back(std::move(event));
  Finish("Took a screen dump.");
}

// --- Receiving a variable ---

void ComputerLink::BeginReceive(const LinkPacket& var) {
  Result<VarHeader> header = ParseVarHeader(var.data);
  SendHeader(link_command::kAck);
  if (!header.ok()) {
    Send(EncodeLinkPacket(kComputer, link_command::kSkip, std::vector<std::uint8_t>{kSkipExit, 0, 0, 0, 0}));
    Emit(LinkEventKind::Failed, 0, "Refused a variable from the calculator: " + header.message() + ".");
    step_ = Step::Idle;
    return;
  }
  incoming_ = std::move(header->variable);
  incomingSize_ = header->size;
  SendHeader(link_command::kCts);
  step_ = Step::RecvCtsAck;
  heard_ = true;
  resetPending_ = false;
  lastActivity_ = now_;
  Advanced();
}

void ComputerLink::OnReceivePacket(LinkPacket& packet) {
  if (!IsAwaitedData(packet, Step::RecvCtsAck, Step::RecvData)) return;
  Variable variable = incoming_;
  if (const Status taken = TakeVariableData(packet.data, variable); !taken.ok()) {
    Fail("The calculator's data for " + QualifiedName(incoming_) + " is not a variable: " + taken.message() +
         ".");
    SendHeader(link_command::kAck);
    return;
  }
  SendHeader(link_command::kAck);
  LinkEvent event;
  event.kind = LinkEventKind::VariableReceived;
  event.message = "Received " + QualifiedName(variable) + " from the calculator.";
  event.variable = std::move(variable);
  events_.push_back(std::move(event));
  last_.clear();
  step_ = Step::RecvEnd;
  lastActivity_ = now_;
  Advanced();
}

// --- Output ---

void ComputerLink::Send(std::vector<std::uint8_t> bytes, bool variableData) {
  const std::uint8_t command = bytes.size() > 1 ? bytes[1] : 0;
  if (variableData) dataBegin_ = queued_ + 8;  // past the header and the 4 zero bytes
  queued_ += bytes.size();
  if (outHead_ == out_.size()) {
    out_.clear();
    outHead_ = 0;
  }
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  // An ACK or an ERR is never asked for again.
  if (command != link_command::kAck && command != link_command::kErr) {
    last_ = std::move(bytes);
    lastIsData_ = variableData;
  }
}

void ComputerLink::Resend() {
  resetPending_ = false;  // the pulse before it was a checksum complaint
  if (last_.empty()) return;
  if (++resends_ > kMaxRetries) {
    resends_ = 0;
    if (InJob() || Receiving()) {
      Fail("The calculator kept reporting checksum errors in what it received" + Context() + ".");
    } else {
      last_.clear();
    }
    return;
  }
  std::vector<std::uint8_t> again = last_;
  Send(std::move(again), lastIsData_);
}

void ComputerLink::DropOutput() {
  queued_ -= out_.size() - outHead_;
  out_.clear();
  outHead_ = 0;
}

// --- Ends of jobs, events ---

void ComputerLink::Finish(std::string message) {
  Emit(LinkEventKind::Finished, job_->id, std::move(message));
  job_.reset();
  last_.clear();
  refusals_.clear();
  resetPending_ = false;
  step_ = Step::Idle;
  Advanced();
}

void ComputerLink::Fail(std::string message) {
  if (resetPending_) {
    message = "The calculator reset the link" + Context() + "; it may be showing an error message.";
  }
  Emit(LinkEventKind::Failed, job_ ? job_->id : 0, std::move(message));
  job_.reset();
  DropOutput();
  last_.clear();
  refusals_.clear();
  resetPending_ = false;
  step_ = Step::Idle;
  lastActivity_ = now_;
  Advanced();
}

void ComputerLink::Emit(LinkEventKind kind, std::uint64_t job, std::string message) {
  LinkEvent event;
  event.kind = kind;
  event.job = job;
  event.message = std::move(message);
  events_.push_back(std::move(event));
}

std::vector<LinkEvent> ComputerLink::TakeEvents() { return std::exchange(events_, {}); }

std::string ComputerLink::Context() const {
  if (job_ && job_->kind == JobKind::Screen) return " (taking a screen dump)";
  if (job_) {
    if (variable_ < job_->variables.size()) return " (sending " + QualifiedName(CurrentVariable()) + ")";
    return " (sending " + DescribeJobVariables(job_->variables) + ")";
  }
  if (Receiving()) return " (receiving " + QualifiedName(incoming_) + ")";
  return {};
}

std::string ComputerLink::Seconds(std::uint64_t units) const {
  if (units % kLinkUnitsPerSecond == 0) {
    const std::uint64_t seconds = units / kLinkUnitsPerSecond;
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.2f seconds", static_cast<double>(units) / kLinkUnitsPerSecond);
  return text;
}

LinkProgress ComputerLink::Progress() const {
  LinkProgress progress;
  if (job_ && job_->kind == JobKind::Send) {
    const std::size_t count = job_->variables.size();
    const std::size_t shown = std::min(variable_, count - 1);
    progress.what = "Sending " + QualifiedName(job_->variables[shown]);
    if (count > 1) progress.what += " (" + std::to_string(shown + 1) + " of " + std::to_string(count) + ")";
    std::size_t current = 0;
    if (step_ == Step::DataAck && taken_ > dataBegin_) {
      current = static_cast<std::size_t>(std::min<std::uint64_t>(taken_ - dataBegin_, CurrentVariable().data.size()));
    }
    progress.done = bytesBefore_ + current;
    progress.total = bytesTotal_;
  } else if (job_) {
    progress.what = "Receiving the screen";
    progress.total = kScreenDumpBytes;
    if (reader_.ReadingData() && reader_.command() == link_command::kXdp) {
      progress.done = std::min(reader_.dataSoFar(), kScreenDumpBytes);
    }
  } else if (Receiving()) {
    progress.what = "Receiving " + QualifiedName(incoming_);
    progress.total = incomingSize_;
    if (reader_.ReadingData() && reader_.command() == link_command::kXdp && reader_.dataSoFar() > 4) {
      progress.done = std::min(reader_.dataSoFar() - 4, incomingSize_);
    }
  }
  return progress;
}

bool ComputerLink::Busy() const { return job_.has_value() || !queue_.empty() || Receiving(); }

}  // namespace pellux
