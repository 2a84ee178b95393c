// A calculator's side of the link protocol, written for the tests: it plays
// the part the way PedroM's link code does (every packet but an ACK is
// acknowledged as it is read; a damaged one is answered by pulsing the
// lines and an ERR), and misbehaves when told to. Its packet parsing is its
// own, so the computer's encoding is checked against an independent reader.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "link/computer_link.h"
#include "link/variable_file.h"

namespace pellux::test {

// A packet as the calculator read it off the cable.
struct SeenPacket {
  std::uint8_t machine = 0;
  std::uint8_t command = 0;
  std::uint16_t word = 0;
  std::vector<std::uint8_t> data;
  bool intact = true;  // the checksum matched
};

class ScriptedCalculator {
 public:
  // The cable: bytes from the computer, bytes to it, the reset pulse.
  void Take(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> TakeOutput();
  bool TakeResetPulse();

  // Sends a variable of its own, as `sendcalc` does.
  void SendVariable(const Variable& variable);
  // A packet, or any bytes at all.
  void SendPacket(std::uint8_t command, std::span<const std::uint8_t> data = {}, std::uint16_t word = 0);
  void SendRaw(std::span<const std::uint8_t> bytes);

  // Misbehaviour.
  std::set<std::string> locked;      // "main\hello": refused with a SKIP
  std::uint8_t refusalCode = 5;      // PedroM's for a name it may not overwrite
  std::map<std::uint8_t, unsigned> damage;  // command -> how many of its next such packets go out damaged
  std::map<std::uint8_t, unsigned> complainAbout;  // command -> times it claims one arrived damaged
  std::optional<std::uint8_t> giveUpOn;  // on this command: pulse the lines and answer nothing more
  bool deaf = false;                     // nothing listening: bytes vanish, nothing answers
  std::optional<unsigned> answerPackets;  // answers this many packets, then goes quiet

  // What it saw and what it holds.
  std::vector<SeenPacket> seen;
  std::vector<Variable> stored;
  ScreenDump screen{};

 private:
  enum class State { Idle, RecvAck, RecvData, SendAck, SendCts, SendDataAck };
  void Handle(const SeenPacket& packet);
  void Translate(const SeenPacket& packet);
  void Pulse() { pulse_ = true; }

  State state_ = State::Idle;
  std::vector<std::uint8_t> in_;
  std::vector<std::uint8_t> out_;
  // Its last packet but an ACK, sent again for an ERR.
  std::uint8_t lastCommand_ = 0;
  std::vector<std::uint8_t> lastData_;
  bool pulse_ = false;
  Variable receiving_;
  Variable sending_;
};

// "VAR", "ACK", ... for the packets seen, to compare a whole exchange.
std::vector<std::string> CommandNames(const std::vector<SeenPacket>& packets);

// A program variable with `size` bytes of content after its size word.
Variable MakeVariable(const std::string& folder, const std::string& name, std::size_t size, std::uint8_t type = 0x21);

}  // namespace pellux::test
