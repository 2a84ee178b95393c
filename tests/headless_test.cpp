// The headless runner's parts: key scripts, key names, its command line and
// the PNG and PBM it writes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/headless_cli.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"
#include "tools/lcd_image.h"

namespace pellux {
namespace {

TEST(KeyNames, NamesAndCodesTranslateBothWays) {
  struct Case {
    const char* name;
    unsigned code;
  };
  const Case cases[] = {{"ENTER", 73}, {"enter", 73}, {"ON", 128}, {"1", 13}, {"0", 77}, {"*", 63},
                        {"+", 68},     {"-", 72},     {"/", 40},   {"a", 74}, {"K8", 8}, {"k128", 128}};
  for (const Case& c : cases) {
    EXPECT_EQ(KeyCodeFromName(c.name), c.code) << c.name;
  }
  for (const char* bad : {"", "K80", "K127", "K-1", "K1x", "ENTERX", "OFF"}) {
    EXPECT_FALSE(KeyCodeFromName(bad)) << bad;
  }
  // Every name leads back to its own code.
  for (unsigned code = 0; code < 80; ++code) {
    if (const char* name = KeyName(code)) {
      EXPECT_EQ(KeyCodeFromName(name), code) << name;
    }
  }
  EXPECT_EQ(KeyName(8), nullptr);
  EXPECT_STREQ(KeyName(128), "ON");
}

TEST(KeyScript, TimesActionsAndOrder) {
  const auto script = ParseKeyScript(
      "# computing\n"
      "\n"
      "2.0 release K5   # out of order: sorted by time\n"
      "1 press ON\n"
      "+250ms tap enter\n"
      "+0.1 type 1+\n"
      "1.5s press K3\n");
  ASSERT_TRUE(script.ok()) << script.message();
  const std::vector<KeyEvent> expected = {
      {1024, 128, true},             // 1 s
      {1024 + 256, 73, true},        // 250 ms later
      {1024 + 256 + 51, 73, false},  // a tap is held 50 ms
      {1536, 3, true},               // 1.5 s (the next line counts from the tap's release)
      {1024 + 256 + 51 + 102, 13, true},
      {1024 + 256 + 51 + 102 + 51, 13, false},
      {1024 + 256 + 51 + 204, 68, true},
      {1024 + 256 + 51 + 204 + 51, 68, false},
      {2048, 5, false},
  };
  std::vector<KeyEvent> sorted = expected;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const KeyEvent& a, const KeyEvent& b) { return a.tick < b.tick; });
  ASSERT_EQ(script->events.size(), sorted.size());
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    EXPECT_EQ(script->events[i].tick, sorted[i].tick) << i;
    EXPECT_EQ(script->events[i].code, sorted[i].code) << i;
    EXPECT_EQ(script->events[i].down, sorted[i].down) << i;
  }
}

// A send line names a file with the rest of the line, and times the next
// line as a key would.
TEST(KeyScript, SendLinesNameTheRestOfTheLine) {
  const auto script = ParseKeyScript(
      "1 tap ON\n"
      "+0.5 send my file.9xz  # two words\n"
      "0.2 SEND a.9xp\n"
      "+1 tap ENTER\n");
  ASSERT_TRUE(script.ok()) << script.message();
  ASSERT_EQ(script->sends.size(), 2u);
  EXPECT_EQ(script->sends[0].tick, 205);
  EXPECT_EQ(script->sends[0].file, "a.9xp");
  EXPECT_EQ(script->sends[0].line, 3);
  EXPECT_EQ(script->sends[1].tick, 1024 + 51 + 512);
  EXPECT_EQ(script->sends[1].file, "my file.9xz");
  EXPECT_EQ(script->sends[1].line, 2);
  ASSERT_EQ(script->events.size(), 4u);
  EXPECT_EQ(script->events[2].tick, 205 + 1024) << "ENTER counts from the send at 0.2 s";
  const auto bad = ParseKeyScript("1 tap ON\n2 send   \n");
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().line, 2);
  EXPECT_EQ(bad.message(), "expected TIME send FILE, found no file");
}

TEST(KeyScript, ErrorsNameTheirLine) {
  struct Case {
    std::string_view text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"1 tap ENTER\n2 tap NOKEY\n", 2, "unknown key 'NOKEY'"},
      {"\n\n1 hold ENTER\n", 3, "unknown action 'hold'"},
      {"1 tap\n", 1, "expected TIME ACTION KEY"},
      {"1 tap ENTER now\n", 1, "expected TIME ACTION KEY"},
      {"# fine\n-1 tap ENTER\n", 2, "bad time '-1'"},
      {"1x tap ENTER\n", 1, "bad time"},
      {"nan tap ENTER\n", 1, "bad time"},
      {"+ tap ENTER\n", 1, "bad time"},
      {"99999999 tap ENTER\n", 1, "bad time"},
      {"1 type 1(2\n", 1, "no key types '('"},
      // The user's bytes quoted readably, a long word cut.
      {"1 tap EN\x01TER\n", 1, "unknown key 'EN\\x01TER'"},
      {std::string_view("1 tap A\0B\n", 10), 1, "unknown key 'A\\x00B'"},
      {"1 tap \xC3\xA9\xC3\n", 1, "unknown key '\xC3\xA9\\xc3'"},
      {"1 tap ''\n", 1, "unknown key '\\'\\''"},
      // A line whose own events go past the day is blamed, not the next.
      {"86399.96 tap ENTER\n+0 tap ENTER\n", 1, "past a day"},
      {"86399.5 type 1234567890\n+0 tap ENTER\n", 1, "past a day"},
  };
  for (const Case& c : cases) {
    const auto script = ParseKeyScript(c.text);
    ASSERT_FALSE(script.ok()) << c.text;
    EXPECT_EQ(script.error().line, c.line) << c.text;
    EXPECT_NE(script.message().find(c.says), std::string::npos) << script.message();
  }
}

TEST(KeyScript, ALongBadWordIsCutInTheMessage) {
  const std::string script = "1 tap " + std::string(10 << 20, 'X') + "\n";
  const auto parsed = ParseKeyScript(script);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.message(), "unknown key '" + std::string(40, 'X') + "'... (10485760 bytes)");
}

TEST(KeyScript, AByteOrderMarkStartsTheFileUnseen) {
  const auto script = ParseKeyScript(
      "\xEF\xBB\xBF"
      "1 press ON\n");
  ASSERT_TRUE(script.ok()) << script.message();
  ASSERT_EQ(script->events.size(), 1u);
  EXPECT_EQ(script->events[0].code, 128u);
  EXPECT_FALSE(ParseKeyScript("1 press ON\n\xEF\xBB\xBF"
                              "2 press ON\n")
                   .ok())
      << "only at the start";
}

TEST(HeadlessArguments, AcceptsTheDocumentedForms) {
  const std::vector<std::string> args = {
      "rom.bin", "--seconds", "2.5",   "--keys=k.txt", "--png",
      "a.png",   "--pbm",     "b.pbm", "--realtime",   "--calculator-speed"};
  const Result<HeadlessOptions> parsed = ParseHeadlessArguments(args);
  ASSERT_TRUE(parsed.ok()) << parsed.message();
  EXPECT_EQ(parsed->rom, "rom.bin");
  EXPECT_EQ(parsed->seconds, 2.5);
  EXPECT_EQ(parsed->keys, "k.txt");
  EXPECT_EQ(parsed->png, "a.png");
  EXPECT_EQ(parsed->pbm, "b.pbm");
  EXPECT_TRUE(parsed->realtime);
  EXPECT_TRUE(parsed->calculatorSpeed);
  EXPECT_FALSE(ParseHeadlessArguments(std::vector<std::string>{"rom.bin"})->calculatorSpeed);
  EXPECT_TRUE(ParseHeadlessArguments(std::vector<std::string>{"--help"})->help);
  const Result<HeadlessOptions> linked = ParseHeadlessArguments(
      std::vector<std::string>{"a.rom", "--send", "a.9xz", "--send=b c.9xg", "--receive-dir", "in"});
  ASSERT_TRUE(linked.ok()) << linked.message();
  EXPECT_EQ(linked->send, (std::vector<std::filesystem::path>{"a.9xz", "b c.9xg"}));
  EXPECT_EQ(linked->receiveDir, "in");
  EXPECT_EQ(
      ParseHeadlessArguments(std::vector<std::string>{"a.rom", "--link-listen", "[::1]:5000"})->linkListen,
      "[::1]:5000");
  EXPECT_EQ(ParseHeadlessArguments(std::vector<std::string>{"a.rom", "--link-connect", "5000"})->linkConnect,
            "5000");
  for (const char* gdb : {"1234", "0", "0.0.0.0:2159", "localhost:65535"}) {
    const Result<HeadlessOptions> withGdb =
        ParseHeadlessArguments(std::vector<std::string>{"a.rom", "--gdb", gdb});
    ASSERT_TRUE(withGdb.ok()) << gdb << ": " << withGdb.message();
    EXPECT_EQ(withGdb->gdb, gdb);
  }
}

TEST(HeadlessArguments, RefusesBadOnes) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"a.rom", "b.rom"},
      {"a.rom", "--frames", "3"},
      {"a.rom", "--seconds"},
      {"a.rom", "--seconds", "-1"},
      {"a.rom", "--seconds", "1e9"},
      {"a.rom", "--seconds", "two"},
      {"a.rom", "--seconds=inf"},
      {"a.rom", "--png="},
      {"a.rom", "--gdb"},
      {"a.rom", "--gdb", "65536"},
      {"a.rom", "--gdb", ":1234"},
      {"a.rom", "--gdb", "host:"},
      {"a.rom", "--gdb=12x"},
      {"a.rom", "--send"},
      {"a.rom", "--link-listen", "x"},
      {"a.rom", "--link-connect", "::1:5"},
      {"a.rom", "--link-listen", "1", "--link-connect", "2"},
      {"a.rom", "--link-connect", "2", "--receive-dir", "."},
  };
  for (const auto& args : cases) {
    const Result<HeadlessOptions> parsed = ParseHeadlessArguments(args);
    ASSERT_FALSE(parsed.ok()) << (args.empty() ? "(none)" : args.back());
    EXPECT_NE(parsed.message(), "") << (args.empty() ? "(none)" : args.back());
  }
}

TEST(LcdImage, ChecksumsMatchTheirStandards) {
  const std::string digits = "123456789";
  const std::string wiki = "Wikipedia";
  EXPECT_EQ(Crc32({reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()}), 0xCBF43926u);
  EXPECT_EQ(Adler32({reinterpret_cast<const std::uint8_t*>(wiki.data()), wiki.size()}), 0x11E60398u);
  EXPECT_EQ(Adler32({}), 1u);
}

std::array<std::uint8_t, kLcdFrameBytes> TestFrame() {
  std::array<std::uint8_t, kLcdFrameBytes> frame{};
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + (i >> 7));
  return frame;
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
                                    bytes[at + 3]);
}

// Reads the PNG back chunk by chunk, checking every length and checksum,
// and inflates its stored blocks.
TEST(LcdImage, PngHoldsTheFrameBlackOnWhite) {
  const auto frame = TestFrame();
  const std::vector<std::uint8_t> png = EncodePng(frame);
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  std::vector<std::string> types;
  std::vector<std::uint8_t> header, zlib;
  for (std::size_t at = 8; at < png.size();) {
    ASSERT_LE(at + 12, png.size());
    const std::uint32_t length = BigEndian(png, at);
    ASSERT_LE(at + 12 + length, png.size());
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    types.push_back(type);
    EXPECT_EQ(Crc32({png.data() + at + 4, length + 4}), BigEndian(png, at + 8 + length)) << type;
    std::vector<std::uint8_t>& into = type == "IHDR" ? header : zlib;
    if (type != "IEND") into.insert(into.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  ASSERT_EQ(header.size(), 13u);
  EXPECT_EQ(BigEndian(header, 0), 240u);
  EXPECT_EQ(BigEndian(header, 4), 128u);
  EXPECT_EQ(header[8], 1) << "one bit per pixel";
  EXPECT_EQ(header[9], 0) << "greyscale";

  ASSERT_GE(zlib.size(), 6u);
  EXPECT_EQ((zlib[0] << 8 | zlib[1]) % 31, 0) << "zlib header check bits";
  EXPECT_EQ(zlib[0] & 0x0F, 8) << "deflate";
  std::vector<std::uint8_t> raw;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    ASSERT_LE(at + 5, zlib.size());
    last = zlib[at] & 1;
    EXPECT_EQ(zlib[at] & 6, 0) << "stored block";
    const unsigned length = zlib[at + 1] | zlib[at + 2] << 8;
    EXPECT_EQ(length ^ (zlib[at + 3] | zlib[at + 4] << 8), 0xFFFFu);
    ASSERT_LE(at + 5 + length, zlib.size());
    raw.insert(raw.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
    at += 5 + length;
  }
  ASSERT_EQ(at + 4, zlib.size());
  EXPECT_EQ(BigEndian(zlib, at), Adler32(raw));

  ASSERT_EQ(raw.size(), 128u * 31);
  for (std::size_t y = 0; y < 128; ++y) {
    EXPECT_EQ(raw[y * 31], 0) << "filter of row " << y;
    for (std::size_t x = 0; x < 30; ++x) {
      // In PNG greyscale 0 is black: a dark LCD pixel (1) becomes 0.
      ASSERT_EQ(raw[y * 31 + 1 + x], static_cast<std::uint8_t>(~frame[y * 30 + x])) << y << "," << x;
    }
  }
}

TEST(LcdImage, PbmStoresDarkAsOneAndReadsBack) {
  const auto frame = TestFrame();
  const std::vector<std::uint8_t> pbm = EncodePbm(frame);
  const std::string header = "P4\n240 128\n";
  ASSERT_EQ(pbm.size(), header.size() + kLcdFrameBytes);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), pbm.begin()));
  EXPECT_TRUE(
      std::equal(frame.begin(), frame.end(), pbm.begin() + static_cast<std::ptrdiff_t>(header.size())));
  EXPECT_EQ(DecodePbm(pbm), std::vector<std::uint8_t>(frame.begin(), frame.end()));
  std::vector<std::uint8_t> wrong = pbm;
  wrong[3] = '9';
  EXPECT_TRUE(DecodePbm(wrong).empty());
  wrong = pbm;
  wrong.pop_back();
  EXPECT_TRUE(DecodePbm(wrong).empty());
}

// A busy processor runs one slice of 1024 instructions per tick, about
// 1.05 million a second of emulated time; held to the calculator's speed,
// 1.2 million.
TEST(HeadlessSession, CalculatorSpeedHoldsTheProcessorToTheCalculatorsRate) {
  for (const bool calculatorSpeed : {false, true}) {
    HeadlessSession session(test::NopRom().bytes(), Pacing::Manual);
    session.SetCalculatorSpeed(calculatorSpeed);
    constexpr int kSeconds = 2;
    ASSERT_EQ(session.RunUntil(kSeconds * kTicksPerSecond), StopReason::TimeUp);
    const double perSecond = static_cast<double>(session.calculator().cpu.instructionCount) / kSeconds;
    const double expected = calculatorSpeed ? 1'200'000.0 : 1024.0 * kTicksPerSecond;
    EXPECT_NEAR(perSecond, expected, 0.005 * expected) << calculatorSpeed;
  }
}

}  // namespace
}  // namespace pellux
