#include "tests/host/test_roms.h"

#include "tests/test_support.h"

namespace pellux::test {

namespace {

constexpr std::uint32_t kStack = 0x3F000;
constexpr std::uint32_t kStart = 0x420000;
constexpr std::uint32_t kSleep = kSleepingRomSleep;
constexpr std::uint32_t kEcho = 0x440000;
constexpr std::uint32_t kLcd = 0x4C00;
constexpr std::uint32_t kLcdRowBytes = 30;

class Code {
 public:
  Code& Word(std::uint16_t w) {
    words.push_back(w);
    return *this;
  }
  Code& Long(std::uint32_t l) { return Word(static_cast<std::uint16_t>(l >> 16)).Word(static_cast<std::uint16_t>(l)); }
  // MOVE.B #value,address.L
  Code& StoreByte(std::uint8_t value, std::uint32_t address) { return Word(0x13FC).Word(value).Long(address); }
  // MOVEA.L #value,An
  Code& LoadAddress(unsigned an, std::uint32_t value) {
    return Word(static_cast<std::uint16_t>(0x207C | (an << 9))).Long(value);
  }
  // Resets the stack, so that interrupts taken while asleep never pile up,
  // and sleeps with every interrupt level open.
  Code& Sleep() { return LoadAddress(7, kStack).Word(0x4E72).Word(0x2000); }
  void PlaceAt(RomBuilder& rom, std::uint32_t address) const {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::uint32_t offset = address - RomBuilder::kFlashBase + 2 * static_cast<std::uint32_t>(i);
      rom.Byte(offset, static_cast<std::uint8_t>(words[i] >> 8));
      rom.Byte(offset + 1, static_cast<std::uint8_t>(words[i]));
    }
  }
  std::vector<std::uint16_t> words;
};

bool Checkerboard(unsigned x, unsigned y) { return ((x / 8) + (y / 8)) % 2 == 1; }

}  // namespace

std::vector<std::uint8_t> SleepingRom(bool echoKeys) {
  RomBuilder rom(kStack, kStart, kSleep);

  Code start;
  start.StoreByte(0x01, 0x600015);  // the timers tick
  start.LoadAddress(0, kLcd + 64 * kLcdRowBytes);
  start.Word(0x323C).Word(0xFF00);  // MOVE.W #$FF00,D1
  start.Word(0x343C).Word(0x00FF);  // MOVE.W #$00FF,D2
  for (unsigned row = 64; row < 128; ++row) {
    const std::uint16_t move = Checkerboard(0, row) ? 0x30C1 : 0x30C2;  // MOVE.W D1/D2,(A0)+
    for (unsigned word = 0; word < kLcdRowBytes / 2; ++word) start.Word(move);
  }
  start.Sleep();
  start.PlaceAt(rom, kStart);

  Code sleep;
  sleep.Sleep();
  sleep.PlaceAt(rom, kSleep);

  if (echoKeys) {
    Code echo;
    echo.StoreByte(0x01, 0x600018);  // of rows 8 and 9 only row 9 selected
    echo.StoreByte(0xFF, 0x600019);  // none of rows 0-7; this write also latches the columns
    echo.Word(0x1039).Long(0x60001B);  // MOVE.B $60001B,D0
    echo.LoadAddress(0, kLcd);
    for (unsigned i = 0; i < 64 * kLcdRowBytes; ++i) echo.Word(0x10C0);  // MOVE.B D0,(A0)+
    echo.Sleep();
    echo.PlaceAt(rom, kEcho);
    for (const unsigned vector : {25u, 26u, 30u}) rom.Vector(vector, kEcho);
  }
  return rom.bytes();
}

bool SleepingRomPixel(unsigned x, unsigned y, std::uint8_t row9) {
  if (y >= 64) return Checkerboard(x, y);
  return row9 & (0x80 >> (x % 8));
}

}  // namespace pellux::test
