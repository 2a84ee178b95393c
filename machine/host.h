// What the machine needs from the program that shows it: memory for its
// images, a clock, and the display's host resources.
//
// The window shell implements these with its toolkit; NullHost serves tests
// and tools. All calls come from the one thread that runs the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pellux {

// A host resource the machine owns but never looks into: the display bitmap
// and the debugger's listing font.
class HostResource {
 public:
  virtual ~HostResource() = default;
};

class Host {
 public:
  virtual ~Host() = default;

  // A zero-filled block of the given size, or null when it cannot be had.
  virtual std::unique_ptr<std::uint8_t[]> AllocateImage(std::size_t bytes);

  // The debugger's fixed-pitch listing font; null is tolerated.
  virtual std::unique_ptr<HostResource> CreateListingFont() = 0;

  // A bitmap of the display's size in pixels; null when the host cannot afford it.
  virtual std::unique_ptr<HostResource> CreateDisplayBitmap(int width, int height) = 0;

  // Asks for the whole window to be repainted, without erasing it.
  virtual void InvalidateDisplay() = 0;
};

// A host with no window: resources are tokens, repaint requests are counted.
class NullHost : public Host {
 public:
  std::unique_ptr<HostResource> CreateListingFont() override;
  std::unique_ptr<HostResource> CreateDisplayBitmap(int width, int height) override;
  void InvalidateDisplay() override { ++invalidations; }

  std::uint64_t invalidations = 0;
};

// Where real time comes from: a high-resolution counter when the host has
// one, else a millisecond tick count.
class HostClock {
 public:
  virtual ~HostClock() = default;
  // Counts per second of the high-resolution counter, or 0 when there is none.
  virtual std::int64_t PerfFrequency() = 0;
  virtual std::int64_t PerfCounter() = 0;
  virtual std::uint32_t TickCountMs() = 0;
};

// The host's monotonic clock, in nanoseconds.
class SteadyClock : public HostClock {
 public:
  std::int64_t PerfFrequency() override { return 1'000'000'000; }
  std::int64_t PerfCounter() override;
  std::uint32_t TickCountMs() override;
};

// A clock that moves only when told to: tests and the headless runner.
class ManualClock : public HostClock {
 public:
  // The default frequency makes one tick exactly 1000 counts.
  static constexpr std::int64_t kDefaultFrequency = 1'024'000;
  explicit ManualClock(std::int64_t frequency = kDefaultFrequency) : frequency(frequency) {}

  std::int64_t PerfFrequency() override { return frequency; }
  std::int64_t PerfCounter() override { return counter; }
  std::uint32_t TickCountMs() override { return tickMs; }

  // Moves both readings on by the given number of 1/1024 s ticks (negative
  // values move the clock back).
  void AdvanceTicks(std::int64_t ticks);

  std::int64_t frequency;  // 0: the host has no high-resolution counter
  std::int64_t counter = 0;
  std::uint32_t tickMs = 0;

 private:
  std::int64_t elapsedTicks_ = 0;
};

}  // namespace pellux
