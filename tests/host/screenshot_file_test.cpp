// Save Screenshot's file: a PNG any image reader takes, at 1X or enlarged,
// named after the moment, and never left half-written.
#include "host/screenshot_file.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <array>
#include <filesystem>

#include "io/files.h"

namespace pellux {
namespace {

std::array<std::uint8_t, kLcdFrameBytes> PatternFrame() {
  std::array<std::uint8_t, kLcdFrameBytes> frame{};
  std::uint32_t state = 987;
  for (auto& byte : frame) {
    state = state * 1103515245 + 12345;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return frame;
}

bool Dark(const std::array<std::uint8_t, kLcdFrameBytes>& frame, int x, int y) {
  return frame[static_cast<std::size_t>(y * 30 + x / 8)] & (0x80 >> (x % 8));
}

TEST(ScreenshotFile, PngReadsBackAsTheLcdAtEachScale) {
  QTemporaryDir dir;
  const auto frame = PatternFrame();
  for (int scale : {1, 3, 5}) {
    const std::filesystem::path path = dir.filePath(QStringLiteral("shot%1.png").arg(scale)).toStdString();
    const Status saved = SaveScreenshotPng(path, frame, scale);
    ASSERT_TRUE(saved.ok()) << saved.message();
    const QImage image(QString::fromStdString(path.string()), "PNG");
    ASSERT_EQ(image.width(), 240 * scale);
    ASSERT_EQ(image.height(), 128 * scale);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb expected = Dark(frame, x / scale, y / scale) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << scale << " at " << x << "," << y;
      }
    }
  }
}

TEST(ScreenshotFile, UnwritableFolderGivesTheReasonAndLeavesNothing) {
  QTemporaryDir dir;
  const std::filesystem::path folder = dir.path().toStdString();
  const std::filesystem::path missing = folder / "no such folder" / "shot.png";
  const std::filesystem::path blocked = folder / "a folder";
  std::filesystem::create_directory(blocked);
  // No folder to write in, and a directory in the way.
  for (const std::filesystem::path& path : {missing, blocked}) {
    const Status saved = SaveScreenshotPng(path, PatternFrame(), 1);
    EXPECT_FALSE(saved.ok()) << path;
    EXPECT_FALSE(saved.message().empty()) << path;
  }
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 1);  // only the folder made above: no temporary left
}

TEST(ScreenshotFile, DefaultNameCarriesDateAndTime) {
  const QDateTime when(QDate(2026, 12, 10), QTime(14, 5, 3));
  EXPECT_EQ(DefaultScreenshotName(when), QStringLiteral("pellux-2026-12-10-140503.png"));
}

}  // namespace
}  // namespace pellux
