// The debugger's listing lines, and how a listing walks the RAM and flash images.
#include "debugger/listing.h"

#include "machine/calculator.h"
#include "machine/memory_bus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace pellux {
namespace {

using test::WordBytes;

TEST(Listing, ExtensionColumnsByInstructionLength) {
  struct Case {
    std::initializer_list<std::uint16_t> words;
    const char* line;
  };
  // Up to 6 bytes the mnemonic keeps its column; 8 and 10 push it right.
  const Case cases[] = {
      {{0x4E71}, " 001000: 4e71             nop      "},
      {{0x0040, 0x00FF}, " 001000: 0040 00ff        ori.w    #255, d0"},
      {{0x0080, 0x0000, 0x0100}, " 001000: 0080 0000 0100   ori.l    #0x00000100, d0"},
      {{0x21F9, 0x1234, 0x5678, 0x0010}, " 001000: 21f9 1234 5678 0010  move.l   12345678, 0010"},
      {{0x23F9, 0x1234, 0x5678, 0x0001, 0x0002},
       " 001000: 23f9 1234 5678 0001 0002 move.l   12345678, 10002"},
      {{0xA000}, " 001000: a000             ?        "},
  };
  const BreakpointSet none;
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = WordBytes(c.words);
    bytes.resize(bytes.size() + 4, 0x77);  // bytes beyond the instruction show nowhere
    const ListingLine line = FormatListingLine(bytes, 0, 0x1000, none);
    EXPECT_EQ(line.text, c.line);
    EXPECT_EQ(line.length, 2 * c.words.size());
  }
}

TEST(Listing, MarkerShowsABreakpointAtTheLinesAddress) {
  std::vector<std::uint8_t> flash(0x2000, 0);
  for (std::size_t i = 0; i < flash.size(); i += 2) flash[i] = 0x4E, flash[i + 1] = 0x71;  // NOPs
  BreakpointSet breakpoints;
  breakpoints.Toggle(0x401234);
  breakpoints.Toggle(0x401237);  // odd: no line stands there
  std::vector<std::string> lines;
  ListInstructions(std::span(flash).subspan(0x1230), 0x401230, 6, breakpoints,
                   [&](const ListingLine& line) { lines.push_back(line.text); });
  ASSERT_EQ(lines.size(), 6u);
  for (const std::string& line : lines) {
    const bool marked = line.starts_with("!401234: 4e71");
    EXPECT_EQ(line[0], marked ? '!' : ' ') << line;
  }
  EXPECT_EQ(lines[2], "!401234: 4e71             nop      ");
}

std::vector<ListingLine> List(std::span<const std::uint8_t> code, std::uint32_t start, std::size_t maxLines) {
  std::vector<ListingLine> lines;
  ListInstructions(code, start, maxLines, BreakpointSet{}, [&](const ListingLine& line) { lines.push_back(line); });
  return lines;
}

// Lists the calculator's memory from start, as the debugger does.
std::vector<ListingLine> List(const Calculator& calc, std::uint32_t start, std::size_t maxLines) {
  return List(ImageFrom(calc, start), start, maxLines);
}

TEST(Listing, WalksTheRamOrFlashImageToItsEnd) {
  Calculator calc(std::vector<std::uint8_t>{});
  std::vector<std::uint8_t>& ram = calc.ram;
  std::vector<std::uint8_t>& flash = calc.rom;
  std::fill(ram.begin(), ram.end(), 0);
  // The last word of each image, and a marker at the start of each.
  ram[0] = 0x4E, ram[1] = 0x75;                    // rts
  flash[0] = 0x4E, flash[1] = 0x73;                // rte
  ram[0x3FFFE] = 0x4E, ram[0x3FFFF] = 0x71;        // nop
  flash[0x1FFFFE] = 0x4E, flash[0x1FFFFF] = 0xF9;  // jmp abs.L, its long missing

  const auto lastRam = List(calc, 0x03FFFE, 30);
  ASSERT_EQ(lastRam.size(), 1u);
  EXPECT_EQ(lastRam[0].text, " 03fffe: 4e71             nop      ");

  const auto lastFlash = List(calc, 0x5FFFFE, 30);
  ASSERT_EQ(lastFlash.size(), 1u) << "the listing stops at the end of the image";
  EXPECT_EQ(lastFlash[0].text, " 5ffffe: 4ef9             jmp      0000");
  EXPECT_EQ(lastFlash[0].length, 2u);

  // RAM mirrors below 0x200000; the empty region and the ports show flash.
  EXPECT_EQ(List(calc, 0x100000, 1)[0].text, " 100000: 4e75             rts      ");
  EXPECT_EQ(List(calc, 0x200000, 1)[0].text, " 200000: 4e73             rte      ");
  EXPECT_EQ(List(calc, 0x600000, 1)[0].text, " 600000: 4e73             rte      ");

  // Zero words are 4-byte "ori.b #0, d0": addresses move by the length.
  const auto run = List(calc, 0x400010, 3);
  ASSERT_EQ(run.size(), 3u);
  EXPECT_EQ(run[2].text, " 400018: 0000 0000        ori.b    #0, d0");
  EXPECT_TRUE(List(calc, 0x400010, 0).empty());
}

TEST(Listing, ShortImagesEndTheListing) {
  const std::vector<std::uint8_t> flash = WordBytes({0x4E71, 0x0C40});  // cmpi.w without its immediate
  const auto lines = List(flash, 0x400000, 10);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, " 400002: 0c40             cmpi.w   #0, d0");
  EXPECT_TRUE(List(std::span(flash).subspan(4), 0x400004, 10).empty()) << "past the end of the image";
  EXPECT_EQ(FormatListingLine(flash, 3, 0x400003, BreakpointSet{}).length, 0u) << "one byte is no opcode";
}

}  // namespace
}  // namespace pellux
