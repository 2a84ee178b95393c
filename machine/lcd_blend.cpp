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
  bool grey = false;
  for (std::uint32_t at = 0; at < kLcdFrameBytes; ++at) {
    std::uint32_t slot = oldest;
    std::uint8_t previous = samples[slot * kLcdFrameBytes + at];
    std::uint64_t dark = kSpread[previous];
    std::uint64_t changes = 0;
    for (std::uint32_t k = 1; k < count; ++k) {
      slot = slot + 1 == kBlendSamples ? 0 : slot + 1;
      const std::uint8_t sample = samples[slot * kLcdFrameBytes + at];
      dark += kSpread[sample];
      changes += kSpread[static_cast<std::uint8_t>(sample ^ previous)];
      previous = sample;
    }
    std::uint8_t* out = &blend.pending[at * 8];
    for (unsigned pixel = 0; pixel < 8; ++pixel) {
      const unsigned shift = 8 * pixel;
      if (((changes >> shift) & 0xFF) >= 2) {
        const auto share = static_cast<std::uint32_t>((dark >> shift) & 0xFF);
        out[pixel] = static_cast<std::uint8_t>((share * 255 + count / 2) / count);
        grey = true;
      } else {
        out[pixel] = (previous & (0x80u >> pixel)) ? 255 : 0;
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
