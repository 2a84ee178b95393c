// The stub driven through a socket pair, as a debugger drives it: a table of
// packets and the replies they must get, and the machine state they change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "cpu/exceptions.h"
#include "gdbserver/gdb_server.h"
#include "machine/driver.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::NopRom;
using test::RomBuilder;

constexpr std::uint32_t kStart = RomBuilder::kDefaultPc;  // 0x420000

// A debugger's end of a socket pair, and the machine run as the hosts run it
// while the stub lets it go.
class StubLine {
 public:
  explicit StubLine(const RomBuilder& rom) : fixture(rom), driver_(*fixture.calc, fixture.clock) {
    fixture.clock.passTicks = 1;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) throw std::runtime_error("socketpair");
    client_ = ends[1];
    fcntl(client_, F_SETFL, O_NONBLOCK);
    server = std::make_unique<gdb::Server>(*fixture.calc, nullptr,
                                           [this](const std::string& line) { log.push_back(line); });
    server->Attach(std::make_unique<net::Connection>(ends[0]), "test");
  }
  ~StubLine() { CloseClient(); }

  void CloseClient() {
    if (client_ >= 0) close(client_);
    client_ = -1;
  }

  void Write(std::string_view bytes) {
    ASSERT_EQ(write(client_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }

  // Serves the line and runs the machine until the stub sends a packet
  // (acks are collected apart); "" when none comes within the rounds.
  std::string Next(int rounds = 200) {
    for (int round = 0; round < rounds; ++round) {
      if (!packets_.empty()) {
        std::string packet = packets_.front();
        packets_.erase(packets_.begin());
        return packet;
      }
      server->Poll(0);
      RunAsAsked();
      char buffer[4096];
      const ssize_t got = read(client_, buffer, sizeof buffer);
      if (got > 0) {
        std::vector<gdb::PacketEvent> events;
        reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), events);
        for (auto& event : events) {
          if (event.kind == gdb::PacketEvent::Kind::Packet) packets_.push_back(event.payload);
          if (event.kind == gdb::PacketEvent::Kind::Ack) acks += '+';
          if (event.kind == gdb::PacketEvent::Kind::Nack) acks += '-';
        }
      }
    }
    return "";
  }

  std::string Ask(std::string_view packet) {
    Write(gdb::FramePacket(packet));
    return Next();
  }

  Calculator& calc() { return *fixture.calc; }

  CalculatorFixture fixture;
  std::unique_ptr<gdb::Server> server;
  std::vector<std::string> log;
  std::string acks;

 private:
  // One pass of the driver (a run slice) per round while continuing.
  void RunAsAsked() {
    if (gdb::Stub* stub = server->stub()) gdb::Advance(*stub, driver_, [this] { return driver_.Pass(); });
    server->Flush();
  }

  Driver driver_;
  int client_;
  gdb::PacketReader reader_;
  std::vector<std::string> packets_;
};

struct Exchange {
  const char* packet;
  const char* reply;
};

void Expect(StubLine& line, std::initializer_list<Exchange> exchanges) {
  for (const Exchange& e : exchanges) EXPECT_EQ(line.Ask(e.packet), e.reply) << e.packet;
}

TEST(GdbStub, QueriesRegistersAndMemory) {
  StubLine line(NopRom().Code(0x440000, {0x1234, 0x5678}));
  CpuState& cpu = line.calc().cpu;
  cpu.regs[0] = 0x11223344;
  cpu.regs[15] = 0x3F000;
  line.calc().ram[0x1000] = 0xAB;
  line.calc().ports[0x1A] = 0x16;
  const std::string registers =
      std::string("11223344") + std::string(14 * 8, '0') + "0003f000" + "00002000" + "00420000";
  Expect(line, {
                   {"qSupported:multiprocess+;swbreak+;xmlRegisters=i386",
                    "PacketSize=4000;QStartNoAckMode+;qXfer:features:read+;vContSupported+"},
                   {"vMustReplyEmpty", ""},
                   {"Hg0", "OK"},
                   {"qfThreadInfo", "m1"},
                   {"qsThreadInfo", "l"},
                   {"qC", "QC1"},
                   {"qAttached", "1"},
                   {"T1", "OK"},
                   {"?", "T05thread:1;"},
                   {"vCont?", "vCont;c;C;s;S"},
                   {"g", registers.c_str()},
                   {"p11", "00420000"},
                   {"p10", "00002000"},
                   {"p12", "E01"},
                   {"pzz", "E01"},
                   {"m440000,4", "12345678"},
                   {"m1000,1", "ab"},
                   {"m1000,0", "E01"},
                   {"mffffffff,2", "E01"},
                   {"m60001a,1", "16"},  // the ON key port, read without side effects
                   {"m1000", "E01"},
                   {"qXfer:features:read:other.xml:0,100", "E00"},
                   {"qUnknownThing", ""},
                   {"!", ""},
               });
  const std::string xml = line.Ask("qXfer:features:read:target.xml:0,3fff");
  EXPECT_EQ(xml.substr(0, 1), "l");
  EXPECT_NE(xml.find("<feature name=\"org.gnu.gdb.m68k.core\">"), std::string::npos);
  EXPECT_NE(xml.find("<reg name=\"ps\" bitsize=\"32\"/>"), std::string::npos);
  // In pieces: 'm' until the last one.
  EXPECT_EQ(line.Ask("qXfer:features:read:target.xml:0,10"), "m<?xml version=\"1");
  EXPECT_EQ(line.acks.find('-'), std::string::npos);
}

TEST(GdbStub, WritesRegistersAndMemory) {
  StubLine line(NopRom());
  Calculator& calc = line.calc();
  const std::string registers =
      std::string("00000001") + std::string(14 * 8, '0') + "00001000" + "0000001f" + "00440000";
  Expect(line, {
                   {"P0=deadbeef", "OK"},
                   {"P8=00000010", "OK"},
                   {"P12=00000000", "E01"},
                   {"P0=1234", "E01"},
                   {"M1000,3:a1b2c3", "OK"},
                   {"M1000,3:a1b2", "E01"},
                   // Binary: } escapes the next byte (0x5d ^ 0x20 = 0x7d).
                   {"X1010,3:a}]b", "OK"},
                   {"X1020,0:", "OK"},
                   // Flash: the image changes, the chip's command state does not.
                   {"M400100,2:5050", "OK"},
                   {"m400100,2", "5050"},
               });
  EXPECT_EQ(calc.cpu.regs[0], 0xDEADBEEFu);
  EXPECT_EQ(calc.cpu.regs[8], 0x10u);
  EXPECT_EQ(calc.ram[0x1001], 0xB2);
  EXPECT_EQ(calc.ram[0x1011], 0x7D);
  EXPECT_EQ(calc.rom[0x100], 0x50);
  EXPECT_EQ(calc.flashState, FlashState::ReadArray);

  // Leaving supervisor state through ps makes sp the user stack pointer.
  calc.cpu.regs[15] = 0x3F000;
  Expect(line, {{"P10=00000000", "OK"},
                {"P0f=00002000", "OK"},
                {(std::string("G") + registers).c_str(), "OK"},
                {"G00", "E01"}});
  EXPECT_EQ(calc.cpu.otherSp, 0x3F000u);
  EXPECT_EQ(calc.cpu.s, 0);
  EXPECT_EQ(GetSR(calc.cpu), 0x1Fu);
  EXPECT_EQ(calc.cpu.regs[15], 0x1000u);
  EXPECT_EQ(calc.cpu.pc, 0x440000u);
}

// A write stores every byte or none, and a port takes what the processor's
// own write of it would store: the machine is never left in a state it
// could not reach.
TEST(GdbStub, WritesAreAllOrNothingAndPortsFollowTheirWriteRules) {
  StubLine line(NopRom());
  Calculator& calc = line.calc();
  calc.keyMatrix[0] = 0xF7;  // a key held down in row 0
  const std::array<std::uint8_t, 32> portsBefore = calc.ports;
  struct Case {
    const char* packet;
    const char* reply;
  };
  const Case refused[] = {
      {"M1ffffe,4:a1a2a3a4", "E01"},  // the last RAM bytes, then the empty region
      {"X1ffffe,4:abcd", "E01"},      // the same in binary
      {"M600005,1:00", "E01"},        // low power: it would stop the processor
      {"M60000d,1:ff", "E01"},        // the link port
      {"M60000b,2:0000", "E01"},      // a port that ignores writes, then the link port
      {"M60001b,1:00", "E01"},        // the key columns come from the matrix alone
      {"M700000,1:55", "E01"},        // the bus drops writes from 0x700000 up
      {"Mfffff0,1:55", "E01"},        // up to the end
  };
  for (const Case& c : refused) EXPECT_EQ(line.Ask(c.packet), c.reply) << c.packet;
  EXPECT_EQ(calc.ram[0x3FFFE], 0);
  EXPECT_EQ(calc.ram[0x3FFFF], 0);
  EXPECT_EQ(calc.ports, portsBefore);
  EXPECT_EQ(calc.cpu.runState, RunState::Running);
  EXPECT_EQ(line.Ask("m60000d,1"), "40");

  Expect(line, {
                   // The end of flash, then ports 0 and 1 through their masks.
                   {"M5ffffe,4:01020304", "OK"},
                   {"m5ffffe,4", "01020404"},
                   {"M600000,1:ff", "OK"},
                   {"m600000,1", "a4"},
                   // The LCD base is set, the port bytes stay.
                   {"M600010,2:1234", "OK"},
                   {"m600010,2", "1401"},
                   {"M600017,1:80", "OK"},
                   // Selecting row 0 shows its key in the columns.
                   {"M600019,1:fe", "OK"},
                   {"m60001b,1", "f7"},
               });
  EXPECT_EQ(calc.rom[0x1FFFFE], 0x01);
  EXPECT_EQ(calc.lcdBase, 0x91A0u);
  EXPECT_EQ(calc.timerReload, 0x80u);
  EXPECT_EQ(calc.cpu.runState, RunState::Running);
}

TEST(GdbStub, BreakpointsStepsInterruptAndDetach) {
  StubLine line(NopRom());
  Calculator& calc = line.calc();
  calc.breakpoints.Toggle(0x420100);  // the window's own, to be left alone
  Expect(line, {
                   {"Z0,420010,2", "OK"},
                   {"Z0,420100,2", "OK"},
                   {"c", "T05thread:1;"},
               });
  EXPECT_EQ(calc.cpu.pc, 0x420010u);
  Expect(line, {{"s", "T05thread:1;"}});
  EXPECT_EQ(calc.cpu.pc, 0x420012u);
  Expect(line, {{"vCont;s:1;c", "T05thread:1;"}});
  EXPECT_EQ(calc.cpu.pc, 0x420014u);
  Expect(line, {{"vCont;c:-1", "T05thread:1;"}});
  EXPECT_EQ(calc.cpu.pc, 0x420100u);
  Expect(line, {{"z0,420100,2", "OK"}, {"z0,420010,2", "OK"}, {"vCont;x", "E01"}, {"C zz", "E01"}});
  EXPECT_TRUE(calc.breakpoints.Contains(0x420100));
  EXPECT_FALSE(calc.breakpoints.Contains(0x420010));

  // Resume at an address, then Ctrl-C: the NOPs run on until interrupted.
  line.Write(gdb::FramePacket("c420200"));
  EXPECT_EQ(line.Next(3), "");
  line.Write("\x03");
  EXPECT_EQ(line.Next(), "T02thread:1;");
  EXPECT_EQ(line.Ask("?"), "T02thread:1;");
  EXPECT_GT(calc.cpu.pc, 0x420200u);

  line.Ask("Z0,420000,2");
  EXPECT_EQ(line.Ask("D"), "OK");
  EXPECT_FALSE(line.server->attached());
  EXPECT_FALSE(calc.breakpoints.Contains(0x420000));
  EXPECT_TRUE(calc.breakpoints.Contains(0x420100));
  EXPECT_EQ(line.log.back(), "debugger detached");
}

TEST(GdbStub, WatchpointsStopAfterTheAccess) {
  // 420000 move.l d0,$1000.w; 420004 move.w $1006.w,d1; 420008 move.b d2,$1003.w; then NOPs
  StubLine line(NopRom().Code(kStart, {0x21C0, 0x1000, 0x3238, 0x1006, 0x11C2, 0x1003}));
  Calculator& calc = line.calc();
  struct Case {
    const char* insert;
    const char* stop;
    std::uint32_t pc;
  };
  const Case cases[] = {
      {"Z2,1002,2", "T05watch:00001002;thread:1;", 0x420004},   // inside the long written
      {"Z3,1006,1", "T05rwatch:00001006;thread:1;", 0x420008},  // the word read
      {"Z4,1000,4", "T05awatch:00001003;thread:1;", 0x42000C},  // the byte written
      {"Z3,1000,4", "", 0},                                     // nothing reads it again
  };
  for (const Case& c : cases) {
    ASSERT_EQ(line.Ask(c.insert), "OK") << c.insert;
    line.Write(gdb::FramePacket("c"));
    EXPECT_EQ(line.Next(c.pc ? 200 : 5), c.stop) << c.insert;
    if (c.pc) {
      EXPECT_EQ(calc.cpu.pc, c.pc) << c.insert;
    }
    std::string remove = c.insert;
    remove[0] = 'z';
    EXPECT_EQ(line.Ask(remove), "OK");
  }
  // The last one ran on; Ctrl-C ends it, and without watchpoints the plain core runs.
  line.Write("\x03");
  EXPECT_EQ(line.Next(), "T02thread:1;");
  EXPECT_FALSE(calc.watch.Active());
  EXPECT_EQ(line.Ask("Z2,1000,0"), "E01");
  EXPECT_EQ(line.Ask("Z5,1000,4"), "");
}

TEST(GdbStub, CaughtExceptionsStopBeforeTheHandler) {
  constexpr std::uint32_t kHandler = 0x450000;
  // 420000 illegal; then at 420100: divu #0,d0; at 420200: move.w (a0),d0 with a0 odd
  RomBuilder rom = NopRom();
  rom.Code(kStart, {0x4AFC}).Code(0x420100, {0x80FC, 0x0000}).Code(0x420200, {0x3010});
  for (const unsigned vector : {kVectorAddressError, kVectorIllegal, kVectorZeroDivide, kVectorPrivilege}) {
    rom.Vector(vector, kHandler);
  }
  StubLine line(rom);
  Calculator& calc = line.calc();
  auto monitor = [&](std::string_view command) {
    line.Write(gdb::FramePacket(std::string("qRcmd,") + gdb::HexBytes(command)));
    std::string text = line.Next();
    EXPECT_EQ(line.Next(), "OK") << command;
    return text;
  };
  EXPECT_EQ(monitor("catch illegal zero-divide address"),
            std::string("O") + gdb::HexBytes("Caught: illegal address zero-divide\n"));
  EXPECT_EQ(monitor("catch"), std::string("O") + gdb::HexBytes("Caught: illegal address zero-divide\n"));
  EXPECT_EQ(monitor("catch nothing").substr(0, 1), "O");
  EXPECT_EQ(monitor("frobnicate").substr(0, 1), "O");

  const std::uint32_t sp = calc.cpu.regs[15];
  // Stopped at the opcode with nothing stacked; without the signal it stops again.
  EXPECT_EQ(line.Ask("c"), "T04thread:1;");
  EXPECT_EQ(calc.cpu.pc, kStart);
  EXPECT_EQ(calc.cpu.regs[15], sp);
  EXPECT_EQ(line.Ask("c"), "T04thread:1;");
  // Passing SIGILL on lets the program's handler have it.
  EXPECT_EQ(line.Ask("vCont;S04"), "T05thread:1;");
  EXPECT_EQ(calc.cpu.pc, kHandler);
  EXPECT_EQ(test::StackedPc(calc), kStart);

  calc.cpu.pc = 0x420100;
  EXPECT_EQ(line.Ask("c"), "T08thread:1;");
  EXPECT_EQ(calc.cpu.pc, 0x420100u);
  calc.cpu.pc = 0x420200;
  calc.cpu.regs[8] = 0x1001;
  EXPECT_EQ(line.Ask("c"), "T0athread:1;");
  EXPECT_EQ(calc.cpu.pc, 0x420200u);
  // Passed on, the handler (NOPs) runs until Ctrl-C.
  line.Write(gdb::FramePacket("C0a"));
  EXPECT_EQ(line.Next(3), "");
  line.Write("\x03");
  EXPECT_EQ(line.Next(), "T02thread:1;");
  EXPECT_GT(calc.cpu.pc, kHandler);
}

TEST(GdbStub, BadInputGetsResendRequestsOrErrors) {
  StubLine line(NopRom());
  line.Write("$g#00");                                                             // wrong checksum
  line.Write(std::string("$") + std::string(gdb::kMaxPayload + 10, 'm') + "#00");  // oversized
  line.Write("junk+");
  line.Write("$?#3");  // the rest comes later
  line.Write("f$qC#b4");
  EXPECT_EQ(line.Next(), "T05thread:1;");
  EXPECT_EQ(line.Next(), "QC1");
  EXPECT_EQ(line.acks, "--++");
  // A '-' asks for the last reply again.
  line.Write("-");
  EXPECT_EQ(line.Next(), "QC1");
  // Without acknowledgements, a damaged packet gets an error reply.
  EXPECT_EQ(line.Ask("QStartNoAckMode"), "OK");
  line.acks.clear();
  line.Write("$g#00");
  EXPECT_EQ(line.Next(), "E01");
  EXPECT_EQ(line.Ask("qC"), "QC1");
  EXPECT_EQ(line.acks, "");
}

TEST(GdbStub, ADebuggerThatVanishesIsADetach) {
  StubLine line(NopRom());
  EXPECT_EQ(line.Ask("Z0,420010,2"), "OK");
  line.Write("$m0,");  // gone mid-packet
  line.CloseClient();
  line.server->Poll(0);
  EXPECT_FALSE(line.server->attached());
  EXPECT_FALSE(line.calc().breakpoints.Contains(0x420010));
  EXPECT_EQ(line.log.back(), "debugger from test went away");
}

}  // namespace
}  // namespace pellux
