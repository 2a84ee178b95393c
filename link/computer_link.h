// The computer's side of the link protocol: what a link program on a PC does
// with a calculator on the other end of the cable, as a state machine. It is
// fed the bytes the calculator sent and the link time (machine/link_port.h
// units), and gives the bytes to send; it never blocks and never reads a
// clock of its own, so a transfer is as deterministic as the machine.
//
// Jobs are queued and done one after another:
//   send variables   VAR -> ACK, CTS; we ACK, XDP (4 zero bytes and the
//                    variable's data) -> ACK; for each variable; then
//                    EOT -> ACK. A SKIP is the calculator refusing one.
//   screen dump      SCR -> ACK, XDP of 3840 bytes; we ACK.
// Between jobs it listens: a variable the calculator sends on its own
// (VAR; we ACK and CTS; ACK, XDP; we ACK; EOT; we ACK) comes out as an event.
// An ERR from the calculator gets the last packet again, an RDY an ACK; a
// damaged packet from it gets an ERR.
//
// Every failure ends its job with a message and leaves the link ready for
// the next: silence for `answer` units, a refusal, the calculator pulsing
// the lines (it gave up; a pulse followed by an ERR is a checksum complaint
// instead, and the packet goes again), damaged packets again and again,
// bytes that are no packet (the rest is dropped until the line is quiet),
// the calculator going away (link time running backwards).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/link_packet.h"
#include "link/variable_file.h"
#include "machine/link_port.h"

namespace pellux {

constexpr std::size_t kScreenDumpBytes = 240 / 8 * 128;
// The LCD's 240 x 128 pixels, a bit each, rows of 30 bytes from the top,
// the leftmost pixel in bit 7; a set bit is a dark pixel.
using ScreenDump = std::array<std::uint8_t, kScreenDumpBytes>;

enum class LinkEventKind {
  Finished,          // a job ended well
  Failed,            // a job ended badly, or something from the calculator was refused
  VariableReceived,  // the calculator sent a variable
  ScreenReceived,    // a screen dump came (its job then finishes)
};

struct LinkEvent {
  LinkEventKind kind = LinkEventKind::Finished;
  std::uint64_t job = 0;  // the job it belongs to; 0 for what the calculator began
  std::string message;    // for the user
  Variable variable;      // VariableReceived
  ScreenDump screen{};    // ScreenReceived
};

// What is moving, for a status line. `what` is empty while nothing is.
struct LinkProgress {
  std::string what;  // "Sending main\hello", "Receiving main\hello", "Receiving the screen"
  std::size_t done = 0;   // bytes of data so far
  std::size_t total = 0;  // bytes of data in all
};

// How long the computer waits, in link units.
struct ComputerLinkTimes {
  std::uint64_t answer = 5 * kLinkUnitsPerSecond;    // silence that ends a job
  std::uint64_t resetGrace = kLinkUnitsPerSecond / 2;  // after a pulse, for the ERR that may follow
  std::uint64_t quiet = kLinkUnitsPerSecond / 4;       // silence that ends the dropping of garbage
};

class ComputerLink {
 public:
  explicit ComputerLink(ComputerLinkTimes times = {});

  // Queues a job; answers its number (events name it). A list that cannot
  // be sent fails at once, with the reason.
  std::uint64_t SendVariables(std::vector<Variable> variables);
  std::uint64_t RequestScreen();
  // Stops the job in progress, the queued ones and any variable coming in,
  // at once: bytes not yet on the cable are dropped and the calculator is
  // left to time out, as with a cable pulled.
  void Cancel();

  // The cable, as the machine's loop drives it. Times never go back while
  // the same calculator is at the other end.
  void Receive(std::span<const std::uint8_t> bytes, std::uint64_t now);
  // The calculator pulsed both lines: it dropped what it was receiving.
  void PeerReset(std::uint64_t now);
  // The calculator at the other end is not the one that was there (reset,
  // replaced, a state loaded).
  void PeerVanished(std::uint64_t now);
  // Time passes: time-outs, and the next job starts when the link is free.
  void Advance(std::uint64_t now);
  // The bytes waiting to go to the calculator, oldest first, and how many
  // of them the cable took.
  std::span<const std::uint8_t> Output() const;
  void OutputTaken(std::size_t count, std::uint64_t now);

  // For the host.
  std::vector<LinkEvent> TakeEvents();
  LinkProgress Progress() const;
  // A job in progress or queued, or a variable coming in.
  bool Busy() const;

 private:
  enum class Step {
    Idle,         // listening
    Discarding,   // dropping bytes until the line is quiet
    VarAck,       // sent VAR
    VarCts,       // VAR acknowledged, waiting to be cleared
    DataAck,      // sent XDP
    EotAck,       // sent EOT
    ScreenAck,    // sent SCR
    ScreenData,   // SCR acknowledged
    RecvCtsAck,   // a variable announced; sent ACK and CTS
    RecvData,     // CTS acknowledged
    RecvEnd,      // the variable came; EOT or another VAR next
  };
  enum class JobKind { Send, Screen };
  struct Job {
    std::uint64_t id = 0;
    JobKind kind = JobKind::Send;
    std::vector<Variable> variables;
  };

  void Clock(std::uint64_t now);
  void StartNextJob();
  void OnPacket(LinkPacket packet);
  void OnDamaged(const std::string& message);
  void OnGarbage(const std::string& message);
  void OnIdlePacket(const LinkPacket& packet);
  void OnSendPacket(const LinkPacket& packet);
  void OnScreenPacket(LinkPacket& packet);
  void OnReceivePacket(LinkPacket& packet);
  bool IsAwaitedData(const LinkPacket& packet, Step ackStep, Step dataStep);
  void OnRefused(const LinkPacket& skip);
  std::string RefusalSummary() const;
  void BeginReceive(const LinkPacket& var);
  void SendVariableHeader();
  void SendVariableData();
  void NextVariable();
  void Unexpected(const LinkPacket& packet, const char* expected);

  void Send(std::vector<std::uint8_t> bytes, bool variableData = false);
  void SendHeader(std::uint8_t command) { Send(EncodeLinkHeader(link_machine::kComputerToTi92Plus, command)); }
  void Resend();
  void DropOutput();
  void Advanced() { resends_ = damaged_ = 0; }

  void Finish(std::string message);
  void Fail(std::string message);
  void Emit(LinkEventKind kind, std::uint64_t job, std::string message);
  // " (sending main\hello)": what was going on, for messages; "" when nothing.
  std::string Context() const;
  std::string Seconds(std::uint64_t units) const;
  const Variable& CurrentVariable() const { return job_->variables[variable_]; }
  bool InJob() const { return job_.has_value(); }
  bool Receiving() const { return step_ == Step::RecvCtsAck || step_ == Step::RecvData; }
  std::size_t MaxDataNow() const;

  ComputerLinkTimes times_;
  PacketReader reader_;
  Step step_ = Step::Idle;
  std::deque<Job> queue_;
  std::optional<Job> job_;
  std::uint64_t nextJob_ = 1;

  // The send job: the variable in hand, the bytes of those before it, what
  // the calculator refused.
  std::size_t variable_ = 0;
  std::size_t bytesBefore_ = 0;
  std::size_t bytesTotal_ = 0;
  std::size_t sentCount_ = 0;
  std::vector<std::string> refusals_;
  // The variable coming in, and the size it was announced with.
  Variable incoming_;
  std::size_t incomingSize_ = 0;

  // Output: out_[outHead_..] waits; stream positions count every byte
  // queued, for the progress of the variable's data.
  std::vector<std::uint8_t> out_;
  std::size_t outHead_ = 0;
  std::uint64_t queued_ = 0;
  std::uint64_t taken_ = 0;
  std::uint64_t dataBegin_ = 0;
  std::vector<std::uint8_t> last_;  // the last packet but an ACK, for an ERR
  bool lastIsData_ = false;
  unsigned resends_ = 0;  // ERRs from the calculator since the last step forward
  unsigned damaged_ = 0;  // ERRs we sent since then

  std::uint64_t now_ = 0;
  std::uint64_t lastActivity_ = 0;
  bool heard_ = false;  // the calculator sent something since the job began
  bool resetPending_ = false;
  std::uint64_t resetAt_ = 0;
  std::vector<LinkEvent> events_;
};

}  // namespace pellux
