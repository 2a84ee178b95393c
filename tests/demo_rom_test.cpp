// The whole machine running our own demo ROM (firmware/), through the same
// session the headless runner uses: boot, title screen, flash self-check,
// the calculator driven by key scripts, the ON key, sleep and breakpoints.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "cpu/core.h"
#include "debugger/calculator_target.h"
#include "debugger/debug_text.h"
#include "debugger/stepping.h"
#include "debugger/symbols.h"
#include "machine/memory_bus.h"
#include "tests/test_paths.h"
#include "tests/value_or_empty.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"
#include "tools/lcd_image.h"

namespace pellux {
namespace {

using test::kDemoRom;
using test::kDemoSymbols;

using Frame = std::array<std::uint8_t, kLcdFrameBytes>;

// The ROM's symbols (nm output: address, type, name).
std::map<std::string, std::uint32_t> LoadSymbols() {
  std::map<std::string, std::uint32_t> symbols;
  std::ifstream in(kDemoSymbols);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name)
      symbols[name] = static_cast<std::uint32_t>(std::stoul(address, nullptr, 16));
  }
  return symbols;
}

// A booted demo ROM with its symbols and the font it draws with.
class DemoRom : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kDemoRom) GTEST_SKIP() << test::kNoDemoRom;
    symbols_ = LoadSymbols();
    ASSERT_TRUE(symbols_.count("gFont")) << "no symbol table at " << kDemoSymbols;
    session_ = test::ValueOrEmpty(OpenHeadlessSession(kDemoRom, Pacing::Manual));
    ASSERT_TRUE(session_);
  }

  Calculator& calc() { return session_->calculator(); }

  std::uint32_t Symbol(const std::string& name) {
    const auto it = symbols_.find(name);
    EXPECT_NE(it, symbols_.end()) << name;
    return it == symbols_.end() ? 0 : it->second;
  }

  std::uint32_t RamLong(std::uint32_t address) {
    const std::uint8_t* p = &calc().ram[address & (kRamSize - 1)];
    return static_cast<std::uint32_t>(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]);
  }

  void RunFor(double seconds) {
    const std::int64_t until = session_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond);
    ASSERT_EQ(session_->RunUntil(until), StopReason::TimeUp);
  }

  // Keys from a script whose times count from now.
  void Keys(const std::string& text) {
    const auto script = ParseKeyScript(text);
    ASSERT_TRUE(script.ok()) << script.message();
    std::vector<KeyEvent> events = script->events;
    for (KeyEvent& e : events) e.tick += session_->Now();
    session_->ScheduleKeys(events);
  }

  bool Pixel(const Frame& frame, int x, int y) { return frame[y * 30 + x / 8] >> (7 - x % 8) & 1; }

  // Whether the frame shows the text in the ROM's font at the scale, in
  // dark ink on light (or the reverse), anywhere: every 6 x 8 cell of it,
  // spacing included, must match exactly.
  bool Shows(const std::string& text, int scale = 1, bool darkInk = true) {
    const Frame frame = session_->Frame();
    const std::uint32_t font = Symbol("gFont");
    const int width = static_cast<int>(text.size()) * 6 * scale, height = 8 * scale;
    for (int y = 0; y + height <= 128; ++y) {
      for (int x = 0; x + width <= 240; ++x) {
        bool match = true;
        for (std::size_t i = 0; match && i < text.size(); ++i) {
          const std::uint8_t* glyph = &calc().ram[font + (static_cast<unsigned char>(text[i]) - 32) * 8];
          if (text[i] != ' ' && std::all_of(glyph, glyph + 8, [](std::uint8_t row) { return row == 0; })) {
            ADD_FAILURE() << "the ROM has not made its font yet";
            return false;
          }
          for (int r = 0; match && r < height; ++r) {
            for (int c = 0; match && c < 6 * scale; ++c) {
              const bool ink = c / scale < 5 && (glyph[r / scale] >> (4 - c / scale) & 1);
              match = Pixel(frame, x + static_cast<int>(i) * 6 * scale + c, y + r) == (ink == darkInk);
            }
          }
        }
        if (match) return true;
      }
    }
    return false;
  }

  std::map<std::string, std::uint32_t> symbols_;
  std::unique_ptr<HeadlessSession> session_;
};

TEST_F(DemoRom, BootsToItsTitleScreen) {
  RunFor(0.01);
  const Frame blank{};
  EXPECT_EQ(session_->Frame(), blank) << "nothing drawn yet";
  RunFor(0.14);
  EXPECT_TRUE(Shows("PELLUX", 4));
  EXPECT_TRUE(Shows("running...")) << "the flash self-check";
  RunFor(1.85);
  EXPECT_TRUE(Shows("PELLUX", 4));
  EXPECT_TRUE(Shows("TI-92 Plus demo ROM"));
  EXPECT_TRUE(Shows("Home")) << "the Home tab is the selected one (dark on light)";
  EXPECT_TRUE(Shows("Calc", 1, false)) << "the other tabs are light on dark";
  EXPECT_TRUE(Shows("00:00:01", 1, false)) << "the clock";

  // The whole frame, against the one kept with the tests. After a change to
  // the ROM's title screen, look at the new frame and then store it:
  //   pellux-headless build/release/run/ti92p.rom --seconds 2 --pbm tests/data/demo_home.pbm
  std::ifstream in(std::string(test::kTestDataDir) + "/demo_home.pbm", std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  const std::vector<std::uint8_t> expected = DecodePbm(file);
  ASSERT_EQ(expected.size(), kLcdFrameBytes) << "tests/data/demo_home.pbm is missing or not a 240 x 128 PBM";
  const Frame frame = session_->Frame();
  int differ = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 240; ++x)
      differ += Pixel(frame, x, y) != (expected[y * 30 + x / 8] >> (7 - x % 8) & 1);
  }
  EXPECT_EQ(differ, 0) << "pixels differing from tests/data/demo_home.pbm";
  // A black-and-white program: its picture holds no grey, and its PNG is
  // the 1-bit one, byte for byte.
  const LcdPicture picture = session_->Picture();
  EXPECT_FALSE(picture.grey);
  EXPECT_EQ(EncodePng(picture, 1), EncodePng(frame));
}

// Erase, program and read back a block through the command sequence: the
// ROM reports it, and the machine's flash image holds what was written.
TEST_F(DemoRom, FlashSelfCheckPasses) {
  RunFor(2.0);
  const std::uint32_t check = Symbol("gFlashCheck");
  EXPECT_EQ(RamLong(check), 1u) << "step: 1 is passed";
  const std::uint32_t block = RamLong(check + 4);
  EXPECT_EQ(block, 0x5F0000u);
  EXPECT_TRUE(Shows("Flash self-check"));
  EXPECT_TRUE(Shows("OK", 1, false));

  const std::uint8_t* image = &calc().rom[block & 0x1FFFFF];
  auto word = [&](std::uint32_t i) {
    return static_cast<std::uint16_t>(image[2 * i] << 8 | image[2 * i + 1]);
  };
  std::uint16_t seed = 0xACE1;  // the ROM's pattern generator
  for (std::uint32_t i = 0; i < 2048; ++i) {
    seed = static_cast<std::uint16_t>((seed >> 1) ^ ((seed & 1) ? 0xB400 : 0));
    ASSERT_EQ(word(i), seed) << "word " << i;
  }
  for (std::uint32_t i = 2048; i < 0x7FFF; ++i) ASSERT_EQ(word(i), 0xFFFF) << "word " << i << " stays erased";
  EXPECT_EQ(word(0x7FFF), 0x0F00) << "0xFF00 programmed over by 0x0FF0";
  EXPECT_EQ(calc().flashState, FlashState::CommandReady) << "status mode was left with 0xFFFF";
}

TEST_F(DemoRom, KeyScriptComputesTwelveTimesThirtyFour) {
  RunFor(1.0);
  Keys("0 tap ON\n+0.2 type 12*34\n+0.1 tap ENTER\n");
  RunFor(2.0);
  EXPECT_TRUE(Shows("12*34"));
  EXPECT_TRUE(Shows("408"));
  EXPECT_TRUE(Shows("408", 2)) << "the newest result, large";
}

// More sums, each checked as the large newest result.
TEST_F(DemoRom, CalculatorHandlesPrecedenceSignsAndErrors) {
  RunFor(1.0);
  Keys("0 tap ON\n");
  RunFor(0.5);
  struct Case {
    const char* keys;
    const char* shows;
  };
  const Case cases[] = {
      {"type 1+2*3", "7"},
      {"type *100", "700"},  // an operator first continues from the answer
      {"type 7-10/3", "4"},
      {"type -7/2", "-3"},  // division rounds toward zero
      {"type 2147483647+1", "Overflow"},
      {"type 65536*65536", "Overflow"},
      {"type 5/0", "Division by zero"},
      {"type 2*-1", "-2"},
      {"type 4+", "Syntax error"},
  };
  for (const Case& c : cases) {
    Keys(std::string("0 ") + c.keys + "\n+0.1 tap ENTER\n");
    RunFor(2.0);
    EXPECT_TRUE(Shows(c.shows, 2)) << c.keys;
  }
  Keys("0 tap ESC\n+0.1 tap ESC\n");  // a second clear empties the history
  RunFor(0.5);
  EXPECT_TRUE(Shows("Type a sum, e.g. 12*34, then ENTER."));
}

TEST_F(DemoRom, OnKeySwitchesScreens) {
  RunFor(1.0);
  const char* const tabs[] = {"Calc", "Keys", "Machine", "Home"};
  const char* const contents[] = {"Type a sum, e.g. 12*34, then ENTER.", "Press a key on the",
                                  "Level 1: timer, 256/s", "TI-92 Plus demo ROM"};
  for (int i = 0; i < 4; ++i) {
    Keys("0 tap ON\n");
    RunFor(0.5);
    EXPECT_TRUE(Shows(tabs[i])) << "selected tab " << tabs[i];
    EXPECT_TRUE(Shows(contents[i])) << contents[i];
    EXPECT_FALSE(Shows(contents[(i + 3) % 4])) << "the screen before is gone";
  }
  EXPECT_EQ(RamLong(Symbol("gOnPresses")), 4u);
}

// Keys are read from the matrix: the keys screen names the last one and
// sees held keys go down and up.
TEST_F(DemoRom, KeysScreenNamesKeysFromTheMatrix) {
  RunFor(1.0);
  Keys("0 tap ON\n+0.1 tap ON\n+0.2 tap ENTER\n+0.1 press SHIFT\n");
  RunFor(1.0);
  EXPECT_TRUE(Shows("SHIFT", 2));
  EXPECT_TRUE(Shows("code 2: row 0 col 2"));
  EXPECT_TRUE(Shows("SHIFT ENTER")) << "the recent keys, newest first";
  const std::uint32_t keysDown = Symbol("gKeysDown");
  EXPECT_EQ(calc().ram[keysDown], 0x04) << "SHIFT is held";
  Keys("0 release SHIFT\n");
  RunFor(0.2);
  EXPECT_EQ(calc().ram[keysDown], 0x00) << "the release was seen";
}

TEST_F(DemoRom, SleepsThroughMostOfAnIdleSecond) {
  RunFor(2.0);  // booted, self-check done
  const DriverStats before = session_->stats();
  const std::uint64_t instructions = calc().cpu.instructionCount;
  const std::uint32_t sleeps = RamLong(Symbol("gSleeps"));
  RunFor(1.0);
  const DriverStats after = session_->stats();
  const double idle = static_cast<double>(after.idleCounts - before.idleCounts);
  const double running = static_cast<double>(after.runningCounts - before.runningCounts);
  EXPECT_GT(idle / (idle + running), 0.9);
  EXPECT_LT(calc().cpu.instructionCount - instructions, 100'000u);
  EXPECT_GE(RamLong(Symbol("gSleeps")) - sleeps, 256u) << "it sleeps again after each timer interrupt";
}

// CalcInput takes each key the calculator screen receives.
TEST_F(DemoRom, BreakpointAtARoutineStopsTheRun) {
  const std::uint32_t input = Symbol("CalcInput");
  calc().breakpoints.Toggle(input);
  RunFor(1.0);  // no calculator key yet
  Keys("0 tap ON\n+0.2 type 12*34\n+0.1 tap ENTER\n");
  const std::int64_t typed = session_->Now() + 256;
  ASSERT_EQ(session_->RunUntil(session_->Now() + 2 * kTicksPerSecond), StopReason::Breakpoint);
  EXPECT_EQ(calc().cpu.pc, input);
  EXPECT_GE(session_->Now(), typed) << "not before the first key was typed";
  EXPECT_EQ(calc().RunSlice(session_->clock()), StopReason::Breakpoint) << "the run stays at the breakpoint";
  calc().breakpoints.Toggle(input);
  RunFor(1.0);
  EXPECT_TRUE(Shows("408", 2)) << "and goes on once it is removed";
}

// The debugger's commands on the demo ROM as someone writing it would use
// them: a breakpoint on a routine by name from the program's ELF file, out
// of the routine to its caller, and over a call in the caller.
TEST_F(DemoRom, DebuggerStepsThroughTheRomByItsSymbols) {
  const SymbolLoad elf = LoadSymbolFile(std::filesystem::path(kDemoSymbols).parent_path() / "demo.elf");
  ASSERT_EQ(elf.message(), "");
  const SymbolTable& symbols = *elf;
  const AddressEntry entry = ParseAddressEntry("CalcInput", symbols);
  ASSERT_TRUE(entry.ok());
  calc().breakpoints.Toggle(*entry);
  RunFor(1.0);
  Keys("0 tap ON\n+0.2 type 12*34\n+0.1 tap ENTER\n");
  ASSERT_EQ(session_->RunUntil(session_->Now() + 2 * kTicksPerSecond), StopReason::Breakpoint);
  CalculatorTarget target(calc());
  EXPECT_EQ(DescribeStop({StopReason::Breakpoint, calc().cpu.pc}, symbols),
            "Breakpoint at 40064e (CalcInput)");

  // Out of CalcInput: back in its caller, the stack as before the call.
  const std::uint32_t stack = calc().cpu.a(7);
  DebugStop stop = StepOut(target);
  ASSERT_EQ(stop.kind, StopReason::StepOut) << DescribeStop(stop, symbols);
  EXPECT_EQ(calc().cpu.a(7), stack + 4);
  const std::string caller = symbols.Describe(calc().cpu.pc);
  EXPECT_FALSE(caller.starts_with("CalcInput")) << caller;
  EXPECT_FALSE(caller.empty());

  // Over the next call the caller makes: the PC lands after it, the stack
  // where it was.
  calc().breakpoints.Toggle(*entry);
  std::uint32_t call = 0;
  for (int i = 0; i < 2000 && !call; ++i) {
    const std::uint16_t opcode = static_cast<std::uint16_t>(PeekByte(calc(), calc().cpu.pc) << 8 |
                                                            PeekByte(calc(), calc().cpu.pc + 1));
    if ((opcode & 0xFF00) == 0x6100 || (opcode & 0xFFC0) == 0x4E80) {
      call = calc().cpu.pc;
    } else {
      ASSERT_EQ(StepInto(target).kind, StopReason::Step);
    }
  }
  ASSERT_NE(call, 0u) << "no call within 2000 instructions";
  const std::uint32_t before = calc().cpu.a(7);
  const std::uint64_t count = calc().cpu.instructionCount;
  stop = StepOver(target);
  ASSERT_EQ(stop.kind, StopReason::StepOver) << DescribeStop(stop, symbols);
  EXPECT_EQ(calc().cpu.a(7), before);
  EXPECT_GT(calc().cpu.pc, call);
  EXPECT_LE(calc().cpu.pc, call + 6);
  EXPECT_GT(calc().cpu.instructionCount - count, 2u) << "the called routine ran";
}

}  // namespace
}  // namespace pellux
