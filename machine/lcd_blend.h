// What the eye sees on the LCD. Its liquid crystal is slow: a program that
// switches the LCD between planes many times a second (at each level-1
// interrupt, usually) is seen as grey. The frame is sampled at every timer
// tick and the display check blends the last kBlendSamples samples, so a
// flip at the fastest timer rate (once a tick) is never missed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace pellux {

constexpr std::uint32_t kLcdWidth = 240;
constexpr std::uint32_t kLcdHeight = 128;
constexpr std::uint32_t kLcdFrameBytes = kLcdWidth / 8 * kLcdHeight;  // 3840
constexpr std::uint32_t kLcdPixels = kLcdWidth * kLcdHeight;

// 24 ticks (23 ms): whole cycles of both usual grey patterns at level 1
// (two planes in turn, 8 ticks; three phases light-dark-dark, 12 ticks),
// so a steady grey picture blends to the same levels at every check.
constexpr std::uint32_t kBlendSamples = 24;

// Darkness of each pixel, rows top first: 0 white, 255 black.
using LcdLevels = std::array<std::uint8_t, kLcdPixels>;

// The picture a host shows: the 1-bit frame in RAM, and, when grey is
// published, the blended levels.
struct LcdPicture {
  bool grey = false;
  std::array<std::uint8_t, kLcdFrameBytes> frame{};  // 30 bytes a row, MSB leftmost, 1 = dark
  LcdLevels levels{};                                 // meaningful when grey
};

// Display state only: never read by the emulation, and not saved (a loaded
// machine refills it within kBlendSamples ticks).
struct LcdBlend {
  // The last samples, a ring of whole frames; allocated once, with the machine.
  std::vector<std::uint8_t> samples = std::vector<std::uint8_t>(kBlendSamples * kLcdFrameBytes);
  std::uint32_t next = 0;    // slot of the next sample
  std::uint32_t filled = 0;  // samples held, up to kBlendSamples
  // Samples since the frame last changed, and since the change before: a
  // pixel can only be grey after two changes within the samples held, so
  // a picture that is still or merely redrawn costs no blend.
  std::uint32_t sinceChange = kBlendSamples;
  std::uint32_t sinceChangeBefore = kBlendSamples;
  bool grey = false;         // the published picture holds grey
  std::vector<std::uint8_t> levels = std::vector<std::uint8_t>(kLcdPixels);   // published, when grey
  std::vector<std::uint8_t> pending = std::vector<std::uint8_t>(kLcdPixels);  // the blend being made
  // Per frame byte, eight pixels' counts of dark samples and of changes.
  std::vector<std::uint64_t> darkCounts = std::vector<std::uint64_t>(kLcdFrameBytes);
  std::vector<std::uint64_t> changeCounts = std::vector<std::uint64_t>(kLcdFrameBytes);
};

// The slot the next sample is copied into; TakeSample then counts it.
inline std::uint8_t* NextSample(LcdBlend& blend) { return &blend.samples[blend.next * kLcdFrameBytes]; }
void TakeSample(LcdBlend& blend);

// Blends the samples held into `pending`. A pixel that went both ways in them
// is blended (its share of dark samples); one that changed at most once shows
// its last sample, so a picture that is merely redrawn stays black and white.
// Answers whether any pixel came out grey.
bool BlendSamples(LcdBlend& blend);

// Publishes `pending` when it differs from the picture published; answers
// whether it did.
bool PublishBlend(LcdBlend& blend, bool grey);

}  // namespace pellux
