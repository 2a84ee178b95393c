// The GDB remote stub's command engine: answers a debugger's packets about
// one Calculator and says when the machine may run.
//
// It knows nothing of sockets or of pacing: the transport hands it bytes
// (ReceiveOne) and sends what TakeOutput returns; the program that runs the
// machine asks resume() what to do, runs it, and calls ReportStop with the
// machine's reason when a continue meets a debug stop, or a step is done.
//
// Registers as gdb numbers them for the 68000: d0-d7 (0-7), a0-a5 (8-13),
// fp = a6 (14), sp = the active a7 (15), ps = SR (16), pc (17), each 32 bits
// big-endian. Memory is read without side effects; writes store all their
// bytes or none, into RAM, the flash image, or a port as the processor's
// own write would (PokeBytes). Breakpoints go into the machine's breakpoint set,
// never into memory; watchpoints and caught exceptions into its watch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/gdb_protocol.h"
#include "machine/stop_reason.h"

namespace pellux {
class Calculator;
class Driver;
}  // namespace pellux

namespace pellux::gdb {

// What gdb lets the machine do next. It says nothing of the processor
// itself, which may sleep while gdb lets it run (Driver::Mode); why a run
// stopped is a StopReason (machine/stop_reason.h).
enum class Resume {
  Halted,    // stay stopped
  Continue,  // run until a breakpoint, a watch stop or an interrupt
  Step,      // run one instruction, then ReportStop
};

// Signal numbers of the protocol (gdb's own numbering).
namespace signal {
constexpr int kInt = 2;
constexpr int kIll = 4;
constexpr int kTrap = 5;
constexpr int kFpe = 8;
constexpr int kBus = 10;
}  // namespace signal

// The most bytes that one event from the debugger (a packet, an interrupt,
// an acknowledgement) adds to the output: an acknowledgement and at most two
// packets ('O' console text, then the reply), none longer than kMaxPayload.
constexpr std::size_t kMaxOutputPerEvent = 1 + 2 * (kMaxPayload + 4);

class Stub {
 public:
  explicit Stub(Calculator& calc);
  // Takes the stub's breakpoints, watchpoints and caught exceptions out of
  // the machine.
  ~Stub();
  Stub(const Stub&) = delete;
  Stub& operator=(const Stub&) = delete;

  // Bytes from the debugger, in any pieces: reads them up to and including
  // the one that completes an event (a packet, an acknowledgement, an
  // interrupt) and answers that one event; returns the bytes read. One event
  // at a time, so that the transport can stop reading while the debugger
  // does not read the replies.
  std::size_t ReceiveOne(std::string_view bytes);
  // What to send to the debugger; empties the queue.
  std::string TakeOutput();

  Resume resume() const { return resume_; }
  // The debugger detached or killed: the session is over.
  bool Ended() const { return ended_; }
  bool Killed() const { return killed_; }

  // The machine stopped while resumed, for the reason its run answered: a
  // breakpoint, a watchpoint or a caught exception (the machine's watch
  // says which, as the core raised it), or a step done. Sends the stop
  // reply, whose signal follows from the reason.
  void ReportStop(StopReason why);
  // The program ended (the time given to it ran out): "W" with the status.
  void ReportExit(int status);
  // The debugger went away without a word: like a detach.
  void Disconnect();
  // The user stopped the machine in the window while the debugger let it
  // run: the debugger is told as for its own Ctrl-C (SIGINT).
  void Interrupt();

 private:
  void Handle(PacketEvent& event);
  void HandlePacket(const std::string& packet);
  std::string Answer(std::string_view packet);
  std::string Query(std::string_view packet);
  std::string Monitor(std::string_view command);
  std::string ReadRegisters() const;
  std::string WriteRegisters(std::string_view hex);
  std::string ReadRegister(std::string_view number) const;
  std::string WriteRegister(std::string_view assignment);
  std::string ReadMemory(std::string_view arguments) const;
  std::string WriteMemory(std::string_view arguments, bool binary);
  std::string SetPoint(std::string_view arguments, bool insert);
  std::string ResumeWith(std::string_view actions);
  void Go(Resume how, std::optional<int> signal);
  void Stop(std::string reply);
  void Send(std::string_view payload);
  void RemoveAll();

  Calculator& calc_;
  PacketReader reader_;
  std::string output_;
  std::string lastSent_;  // the last packet framed, for a '-'
  bool noAck_ = false;
  Resume resume_ = Resume::Halted;
  bool ended_ = false;
  bool killed_ = false;
  std::string lastStop_;                          // the reply to '?'
  std::optional<unsigned> lastCaught_;            // the vector of an exception stop
};

// Does the next piece of what the debugger asked, with the machine on its
// driver: while continuing, one pass of the loop (pass runs it, and the
// program adds its own work, such as due keys, around Driver::Pass); for a
// step, one instruction (breakpoints not consulted, the watch consulted, a
// protected write answered as a run slice answers it). A step while the
// processor sleeps is the wait for what wakes it: idle passes until the
// loop runs again (the interrupt entered, and the burst after it run).
// Tells the stub when the machine stops.
void Advance(Stub& stub, Driver& driver, const std::function<StopReason()>& pass);

}  // namespace pellux::gdb
