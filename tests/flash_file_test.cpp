// Flash files ("**TIFL**") and the flash image made from an OS: a file built
// byte by byte here, tinyos (built by ld-tigcc, wrapped by libtifiles) booted
// from its .9xu, and PedroM's image made again from its bare OS.
#include "link/flash_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "machine/calculator.h"
#include "machine/clock.h"
#include "tests/link_files.h"

namespace pellux {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::LinkDataFile;

// One part's header and data, laid out field by field.
Bytes Part(std::string_view name, std::uint8_t device, std::uint8_t type, const Bytes& data) {
  Bytes part(78 + data.size(), 0);
  std::copy_n("**TIFL**", 8, part.begin());
  part[8] = 2;  // revision 2.5
  part[9] = 5;
  part[12] = 0x24;  // 24 December 2001, in BCD
  part[13] = 0x12;
  part[14] = 0x20;
  part[15] = 0x01;
  part[16] = static_cast<std::uint8_t>(name.size());
  std::copy(name.begin(), name.end(), part.begin() + 17);
  part[48] = device;
  part[49] = type;
  for (int i = 0; i < 4; ++i) part[74 + i] = static_cast<std::uint8_t>(data.size() >> (8 * i));
  std::copy(data.begin(), data.end(), part.begin() + 78);
  return part;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes both(a.size() + b.size());
  std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), both.begin()));
  return both;
}

TEST(FlashFile, PartsOfAFileBuiltByteByByte) {
  const Bytes licence = {'F', 'r', 'e', 'e'};
  const Bytes os = {0x80, 0x0F, 0, 0, 0, 4, 0x4E, 0x71, 0x4E, 0x75};
  const FlashFileRead read =
      ReadFlashFile(Concat(Part("License", 0x88, 0x3E, licence), Part("demo", 0x88, 0x23, os)));
  ASSERT_TRUE(read.ok()) << read.message();
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[0].name, "License");
  EXPECT_EQ((*read)[0].dataType, 0x3E);
  EXPECT_EQ((*read)[0].data, licence);
  const FlashPart& part = (*read)[1];
  EXPECT_EQ(part.name, "demo");
  EXPECT_EQ(part.deviceType, kDeviceTi92Plus);
  EXPECT_EQ(part.dataType, kFlashOs);
  EXPECT_EQ(part.revisionMajor, 2);
  EXPECT_EQ(part.revisionMinor, 5);
  EXPECT_EQ(part.data, os);

  // Written again, the part reads the same; the image holds the OS part.
  const FlashFileRead again = ReadFlashFile(WriteFlashFile(part));
  ASSERT_TRUE(again.ok()) << again.message();
  ASSERT_EQ(again->size(), 1u);
  EXPECT_EQ((*again)[0].name, part.name);
  EXPECT_EQ((*again)[0].revisionMinor, 5);
  EXPECT_EQ((*again)[0].data, os);
  const FlashImage image =
      FlashImageFromOsFile(Concat(Part("License", 0x88, 0x3E, licence), Part("demo", 0x88, 0x23, os)));
  ASSERT_TRUE(image.ok()) << image.message();
  EXPECT_TRUE(std::equal(os.begin(), os.end(), image->begin() + kOsImageOffset));
}

// tinyos: ld-tigcc's bare OS and libtifiles' .9xu of it give one image, and
// the machine boots it: the OS fills the LCD with stripes.
TEST(FlashFile, TinyOsBootsFromItsFile) {
  const Bytes file = LinkDataFile("tinyos.9xu");
  const Bytes tib = LinkDataFile("tinyos-9x.tib");
  ASSERT_FALSE(tib.empty());
  const FlashFileRead read = ReadFlashFile(file);
  ASSERT_TRUE(read.ok()) << read.message();
  ASSERT_EQ(read->size(), 1u);
  EXPECT_EQ((*read)[0].name, "tinyos");
  EXPECT_EQ((*read)[0].deviceType, 0x88);
  EXPECT_EQ((*read)[0].dataType, 0x23);
  EXPECT_EQ((*read)[0].data, tib);

  const FlashImage image = FlashImageFromOsFile(file);
  ASSERT_TRUE(image.ok()) << image.message();
  ASSERT_EQ(image->size(), kRomSize);
  EXPECT_EQ(*FlashImageFromOsFile(tib), *image);
  EXPECT_TRUE(std::equal(tib.begin(), tib.end(), image->begin() + kOsImageOffset));
  const auto erased = [](std::uint8_t b) { return b == 0xFF; };
  EXPECT_TRUE(std::all_of(image->begin(), image->begin() + kOsImageOffset, erased));
  EXPECT_TRUE(std::all_of(image->begin() + kOsImageOffset + static_cast<std::ptrdiff_t>(tib.size()),
                          image->end(), erased));

  Calculator calc(*image);
  ManualClock clock;
  for (int slice = 0; slice < 20; ++slice) {
    clock.AdvanceTicks(1);
    calc.RunSlice(clock);
  }
  const auto frame = calc.LcdFrame();
  EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b == 0xF0; }));
}

TEST(FlashFile, EveryCutOfARealFileSaysItIsCutShort) {
  const Bytes file = LinkDataFile("tinyos.9xu");
  ASSERT_GT(file.size(), 78u);
  for (std::size_t length = 1; length < file.size(); ++length) {
    const FlashFileRead read = ReadFlashFile({file.data(), length});
    EXPECT_FALSE(read.ok()) << length;
    EXPECT_NE(read.message().find("cut short"), std::string::npos) << length << ": " << read.message();
  }
}

TEST(FlashFile, DamageAndWrongFilesAreNamed) {
  const Bytes os = LinkDataFile("tinyos-9x.tib");
  const Bytes good = Part("tinyos", 0x88, 0x23, os);
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"nothing", {}, "the file is empty"},
      {"a length past the end", Concat(Bytes(good.begin(), good.begin() + 78), {1, 2, 3}),
       "the file is cut short: part 1 (an operating system \"tinyos\" for the TI-92 Plus or Voyage 200) says "
       "its "
       "data are 375 bytes, but the file ends 3 bytes after they begin (at byte 78)"},
      {"a name too long",
       [&] {
         Bytes b = good;
         b[16] = 9;
         return b;
       }(),
       "the header of part 1 gives its name 9 characters; there is room for 8"},
      {"bytes after the part", Concat(good, {'x', 'y', 'z'}),
       "the 3 bytes after 1 part (from byte 453) are not another part"},
      {"a variable file", LinkDataFile("lcdfill.9xz"),
       "this is a TI-92 Plus variable file, not an OS or flash application"},
      {"something else", Bytes{'<', 'h', 't', 'm', 'l', '>', '\n', ' ', ' '},
       "this is not a flash file: it begins \"<html>\\x0A \" where such files begin \"**TIFL**\""},
  };
  for (const Case& c : cases) {
    const FlashFileRead read = ReadFlashFile(c.bytes);
    EXPECT_FALSE(read.ok()) << c.what;
    EXPECT_NE(read.message().find(c.message), std::string::npos) << c.what << "\n  said: " << read.message();
  }
}

TEST(FlashFile, OnlyAnOsForTheTi92PlusMakesAnImage) {
  const Bytes os = LinkDataFile("tinyos-9x.tib");
  ASSERT_GT(os.size(), 9u);
  ASSERT_EQ(os[8], 1);  // tinyos says it is for hardware 1, the TI-92 Plus
  Bytes forTi89 = os;
  forTi89[8] = 3;
  Bytes forVoyage = os;
  forVoyage[8] = 8;
  const Bytes largest(kRomSize - kOsImageOffset, 0x4E);
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;  // "" when the image is made
  } cases[] = {
      {"an application", LinkDataFile("sample.9xk"),
       "this file holds a flash application \"sample\" for the TI-92 Plus or Voyage 200, not an operating "
       "system"},
      {"an OS for the TI-89", Part("ams", 0x98, 0x23, os),
       "this file holds an operating system \"ams\" for the TI-89, not the TI-92 Plus"},
      {"an OS naming the TI-89 in its header", Part("ams", 0x88, 0x23, forTi89),
       "but the OS says it is for the TI-89"},
      {"a bare OS for the Voyage 200", forVoyage, "this OS is for the Voyage 200, not the TI-92 Plus"},
      {"an OS without data", Part("none", 0x88, 0x23, {}), "the OS has no data"},
      {"the largest OS", Part("big", 0x88, 0x23, largest), ""},
      {"an OS a byte too large", Part("big", 0x88, 0x23, Concat(largest, {0})),
       "the OS is 2023425 bytes, but the flash holds at most 2023424 after its boot sector and certificate"},
      {"a damaged signature",
       [&] {
         Bytes b = Part("tinyos", 0x88, 0x23, os);
         b[5] = 'X';
         return b;
       }(),
       "this is not a flash file: it begins \"**TIFX**\""},
  };
  for (const Case& c : cases) {
    const FlashImage image = FlashImageFromOsFile(c.bytes);
    if (*c.message == '\0') {
      EXPECT_TRUE(image.ok()) << c.what << ": " << image.message();
      EXPECT_EQ(image->size(), kRomSize);
      EXPECT_EQ(image->back(), 0x4E) << c.what;
    } else {
      EXPECT_FALSE(image.ok()) << c.what;
      EXPECT_NE(image.message().find(c.message), std::string::npos)
          << c.what << "\n  said: " << image.message();
    }
  }
}

// PedroM's image is its bare OS laid into erased flash; the same OS in a
// flash file gives the same image.
TEST(FlashFile, PedromImageIsMadeAgainFromItsBareOs) {
  const auto dir = test::PedromDir();
  if (!dir) GTEST_SKIP() << "../shared/pedrom (PedroM's image and bare OS) is not beside the repository";
  const Bytes rom = test::ReadWholeFile(*dir / "pedrom-ti92p.rom");
  const Bytes tib = test::ReadWholeFile(*dir / "PedroM-9x.tib");
  ASSERT_EQ(rom.size(), kRomSize);
  const FlashImage image = BuildFlashImage(tib);
  ASSERT_TRUE(image.ok()) << image.message();
  EXPECT_TRUE(*image == rom);
  EXPECT_TRUE(*FlashImageFromOsFile(tib) == rom);
  const FlashImage fromFile =
      FlashImageFromOsFile(WriteFlashFile({"PedroM", kDeviceTi92Plus, kFlashOs, 0, 83, tib}));
  ASSERT_TRUE(fromFile.ok()) << fromFile.message();
  EXPECT_TRUE(*fromFile == rom);
}

}  // namespace
}  // namespace pellux
