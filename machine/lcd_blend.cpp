#include "machine/lcd_blend.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pellux {

namespace {

// Each bit of a frame byte spread to a byte of its own, leftmost pixel in
// the lowest byte: sums of up to 255 spread bytes count eight pixels at once.
constexpr std::array<std::uint64_t, 256> kSpread = [] {
  std::array<std::uint64_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
      if (byte & (0x80u >> pixel)) table[byte] |= std::uint64_t{1} << (8 * pixel);
    }
  }
  return table;
}();

}  // namespace

void TakeSample(LcdBlend& blend) {
  const std::uint32_t previous = (blend.next + kBlendSamples - 1) % kBlendSamples;
  const bool changed = blend.filled > 0 && std::memcmp(&blend.samples[blend.next * kLcdFrameBytes],
                                                       &blend.samples[previous * kLcdFrameBytes], kLcdFrameBytes) != 0;
  if (changed) {
    blend.sinceChangeBefore = blend.sinceChange;
    blend.sinceChange = 0;
  } else {
    blend.sinceChange = std::min(blend.sinceChange + 1, kBlendSamples);
    blend.sinceChangeBefore = std::min(blend.sinceChangeBefore + 1, kBlendSamples);
  }
  blend.next = (blend.next + 1) % kBlendSamples;
  if (blend.filled < kBlendSamples) ++blend.filled;
}

bool BlendSamples(LcdBlend& blend) {
  const std::uint32_t count = blend.filled;
  // A change counts when both its samples are held: fewer than two, and
  // every pixel shows its last sample.
  if (count < 3 || blend.sinceChangeBefore + 1 >= count) return false;
  const std::uint32_t oldest = (blend.next + kBlendSamples - count) % kBlendSamples;
  const std::uint8_t* samples = blend.samples.data();
  std::uint64_t* dark = blend.darkCounts.data();
  std::uint64_t* changes = blend.changeCounts.data();

  // Sample after sample, each a straight walk through its frame.
  const std::uint8_t* previous = &samples[oldest * kLcdFrameBytes];
  for (std::uint32_t at = 0; at < kLcdFrameBytes; ++at) {
    dark[at] = kSpread[previous[at]];
    changes[at] = 0;
  }
  for (std::uint32_t k = 1; k < count; ++k) {
    const std::uint8_t* sample = &samples[((oldest + k) % kBlendSamples) * kLcdFrameBytes];
    for (std::uint32_t at = 0; at < kLcdFrameBytes; ++at) {
      dark[at] += kSpread[sample[at]];
      changes[at] += kSpread[static_cast<std::uint8_t>(sample[at] ^ previous[at])];
    }
    previous = sample;
  }

  // The level of each share of dark samples, rounded.
  std::array<std::uint8_t, kBlendSamples + 1> levelOf{};
  for (std::uint32_t share = 0; share <= count; ++share) {
    levelOf[share] = static_cast<std::uint8_t>((share * 255 + count / 2) / count);
  }
  bool grey = false;
  for (std::uint32_t at = 0; at < kLcdFrameBytes; ++at) {
    std::uint8_t* out = &blend.pending[at * 8];
    if (changes[at] == 0) {
      for (unsigned pixel = 0; pixel < 8; ++pixel) out[pixel] = (previous[at] & (0x80u >> pixel)) ? 255 : 0;
      continue;
    }
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
      const unsigned shift = 8 * pixel;
      if (((changes[at] >> shift) & 0xFF) >= 2) {
        out[pixel] = levelOf[(dark[at] >> shift) & 0xFF];
        grey = true;
      } else {
        out[pixel] = (previous[at] & (0x80u >> pixel)) ? 255 : 0;
      }
    }
  }
  return grey;
}

bool PublishBlend(LcdBlend& blend, bool grey) {
  if (!grey) return std::exchange(blend.grey, false);
  if (blend.grey && std::memcmp(blend.pending.data(), blend.levels.data(), kLcdPixels) == 0) return false;
  blend.levels.swap(blend.pending);
  blend.grey = true;
  return true;
}

}  // namespace pellux
