#include "tests/fuzz/gdb_fuzz.h"

#include <string>
#include <string_view>
#include <vector>

#include "debugger/gdb_protocol.h"
#include "debugger/gdb_stub.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "tests/test_support.h"

namespace pellux::fuzz {

namespace {

constexpr unsigned kPassesPerChunk = 1;
constexpr std::uint8_t kFramedBit = 0x80;
constexpr std::uint8_t kLengthMask = 0x7F;

// The machine every input starts from, built once.
const Calculator& BaseMachine() {
  static const Calculator machine(test::NopRom().bytes());
  return machine;
}

// Everything the stub sends must read back as whole frames with good
// checksums, or acknowledgements.
std::string CheckOutput(std::string_view output, gdb::PacketReader& reader) {
  std::vector<gdb::PacketEvent> events;
  reader.Feed(output, events);
  for (const gdb::PacketEvent& event : events) {
    using Kind = gdb::PacketEvent::Kind;
    if (event.kind == Kind::BadChecksum) return "a reply with a bad checksum";
    if (event.kind == Kind::Oversized) return "a reply longer than a packet may be";
    if (event.kind == Kind::Interrupt) return "an interrupt byte in the replies";
  }
  return {};
}

}  // namespace

std::string RunStubOnBytes(const std::uint8_t* data, std::size_t size) {
  Calculator calc = BaseMachine();
  ManualClock clock;
  clock.passTicks = 1;
  Driver driver(calc, clock);
  gdb::Stub stub(calc);
  gdb::PacketReader replies;
  const auto pass = [&driver] { return driver.Pass(); };

  std::size_t at = 0;
  while (at < size && !stub.Ended()) {
    const std::uint8_t header = data[at++];
    const std::size_t length = std::min<std::size_t>(header & kLengthMask, size - at);
    const std::string_view chunk(reinterpret_cast<const char*>(data + at), length);
    at += length;
    const std::string bytes = (header & kFramedBit) ? gdb::FramePacket(chunk) : std::string(chunk);
    // One event at a time, as the server hands them over: none may add more
    // output than the server keeps room for.
    for (std::string_view rest = bytes; !rest.empty() && !stub.Ended();) {
      rest.remove_prefix(stub.ReceiveOne(rest));
      const std::string output = stub.TakeOutput();
      if (output.size() > gdb::kMaxOutputPerEvent)
        return "one event answered with more than kMaxOutputPerEvent";
      if (std::string trouble = CheckOutput(output, replies); !trouble.empty()) return trouble;
    }
    for (unsigned round = 0; round < kPassesPerChunk; ++round) gdb::Advance(stub, driver, pass);
    if (std::string trouble = CheckOutput(stub.TakeOutput(), replies); !trouble.empty()) return trouble;
  }
  if (!stub.Ended()) stub.ReportExit(0);
  return CheckOutput(stub.TakeOutput(), replies);
}

}  // namespace pellux::fuzz
